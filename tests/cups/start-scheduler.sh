#!/usr/bin/env bash
# Starts a private CUPS scheduler for the tests, the way CUPS's own test suite runs one: in the
# given empty folder, on a free loopback port, with a backend folder that holds only our fake usb
# backend and CUPS's socket backend, and no driver programs (those would look for printers on the
# network). The machine's own CUPS service is never touched. Prints the value for CUPS_SERVER;
# tests/cups/stop-scheduler.sh ends it. cupsd must run as root; its filters and backends run as lp.
set -euo pipefail
dir=${1:?usage: start-scheduler.sh EMPTY-FOLDER}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
[ "$(id -u)" -eq 0 ] || { echo "the private scheduler needs root" >&2; exit 1; }
cupsd=$(command -v cupsd || echo /usr/sbin/cupsd)
[ -x "$cupsd" ] || { echo "cupsd is not installed (scripts/install-deps.sh)" >&2; exit 1; }

dir=$(cd "$dir" && pwd)
# The filters run as lp and write below the spool folder.
chmod 755 "$dir"
mkdir -p "$dir"/{bin/backend,bin/driver,cache,log,ppd,spool/temp,ssl,state}
ln -s /usr/lib/cups/filter "$dir/bin/"
mkdir "$dir/bin/daemon"
ln -s /usr/lib/cups/daemon/* "$dir/bin/daemon/"
# CUPS's driver lister waits (30 s at most) while the file hold-drivers lies in the folder and the
# request holds the file's text (a ppd-name): the scheduler asks it for the PPD of a queue made
# with a driver of CUPS within the very request that makes the queue, and waits for it, so a test
# can stop an install dead exactly between the removal of the old queue and the new one. When the
# file fail-drivers holds that text too, the lister then gives no PPD, and the scheduler drops the
# queue it had begun.
rm "$dir/bin/daemon/cups-driverd"
cat >"$dir/bin/daemon/cups-driverd" <<SCRIPT
#!/bin/sh
for _ in \$(seq 600); do
  held=\$(cat "$dir/hold-drivers" 2>/dev/null) || break
  case "\$*" in *"\$held"*) sleep 0.05 ;; *) break ;; esac
done
failed=\$(cat "$dir/fail-drivers" 2>/dev/null) && case "\$*" in *"\$failed"*) exit 1 ;; esac
exec /usr/lib/cups/daemon/cups-driverd "\$@"
SCRIPT
chmod 755 "$dir/bin/daemon/cups-driverd"
ln -s /usr/lib/cups/backend/socket "$dir/bin/backend/socket"
install -m 755 "$here/usb-backend" "$dir/bin/backend/usb"

# A free port, chosen by the system.
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

cat >"$dir/cups-files.conf" <<CONF
User lp
Group lp
SystemGroup root
ServerRoot $dir
ServerBin $dir/bin
CacheDir $dir/cache
StateDir $dir/state
RequestRoot $dir/spool
TempDir $dir/spool/temp
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/printcap
FileDevice yes
CONF
cat >"$dir/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
LogLevel info
# printers.conf is written as soon as a queue changes, not up to 30 s later, so that a test that
# compares it before and after a command sees every change.
DirtyCleanInterval 0
Browsing No
WebInterface No
DefaultEncryption Never
DefaultAuthType None
<Location />
  Order Deny,Allow
  Deny From All
  Allow From 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order Deny,Allow
    Deny From All
    Allow From 127.0.0.1
  </Limit>
</Policy>
# Reading the PPD of the queues Korvel_Locked and Korvel_RV-1800K (the scheduler looks its location up without ".ppd"),
# and purging the jobs of queues made with printer-op-policy "password", need a password: the
# scheduler refuses a client that has none.
<Location /printers/Korvel_Locked>
  AuthType Basic
  Require valid-user
  Order Deny,Allow
  Deny From All
  Allow From 127.0.0.1
</Location>
<Location /printers/Korvel_RV-1800K>
  AuthType Basic
  Require valid-user
  Order Deny,Allow
  Deny From All
  Allow From 127.0.0.1
</Location>
<Policy password>
  <Limit Purge-Jobs>
    AuthType Basic
    Require valid-user
    Order Deny,Allow
    Deny From All
    Allow From 127.0.0.1
  </Limit>
  <Limit All>
    Order Deny,Allow
    Deny From All
    Allow From 127.0.0.1
  </Limit>
</Policy>
CONF

"$cupsd" -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" </dev/null >"$dir/log/cupsd.out" 2>&1 &
echo $! >"$dir/cupsd.pid"
# Ready once it accepts connections; give up after 10 s.
for _ in $(seq 200); do
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "127.0.0.1:$port"
    exit 0
  fi
  kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null || break
  sleep 0.05
done
echo "the private scheduler did not start:" >&2
cat "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null || true
exit 1
