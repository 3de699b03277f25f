#!/usr/bin/env bash
# The console program under Wine as a deployment engine runs it: with no display at all (a window
# or a message box would fail there), on a copy of the sample setup folder, with the stand-in
# printer UI in a Wine prefix of its own. Checks its exit codes, standard output, the queue, port
# and default in Wine's spooler, and its registry record.
#   console_test.sh --exe pavonis.exe --walker wizard_walker.exe --printui printui.dll
#                   --driver korvel_test_printer_driver.dll --work DIR
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

source "$here/walk.sh"
read_test_arguments "$@"

printer="Korvel RV-90"
record_key='HKLM\SOFTWARE\Korvel\Printer Setup\Printers\Korvel RV-90'
prefix=$work/wineprefix
run=$work/setup
trap 'stop_server "$prefix"' EXIT
stop_server "$prefix"
rm -rf "$work"
mkdir -p "$work"
prepare_prefix "$("$source_dir/scripts/wine-template.sh")" "$prefix" "$printui" "$driver"
lay_out "$run" "$exe" "$source_dir/sample-setup"
export KORVEL_PRINTUI_LOG
KORVEL_PRINTUI_LOG=$(windows_path "$work/printui.log")
start_server "$prefix"

logs="$prefix/drive_c/ProgramData/Korvel Setup/Logs"

# pavonis ARGS...: runs it with no display; its standard output in $out, its exit code in $code.
# Without a display Wine reports every window a thread tries to make, with the thread's number;
# Wine's own helpers (its desktop, rundll32's hidden window) try too. A report from a thread that
# wrote our setup log means that we tried to show a window or a message box, which fails the test.
pavonis() {
  code=0
  touch "$work/started"
  out=$(env -u DISPLAY WINEDEBUG=err+winediag WINEPREFIX="$prefix" timeout 120 "$wine64" \
    "$run/pavonis.exe" "$@" 2>"$work/stderr") || code=$?
  out=${out//$'\r'/}
  local thread
  # Only this run's log: Wine gives the numbers of threads that ended to new ones.
  for thread in $(find "$logs" -name '*.log' -newer "$work/started" -exec cat {} + 2>/dev/null |
    sed -n 's/.* thread="\([0-9]*\)".*/\1/p' | sort -u); do
    if grep -q "^$(printf '%04x' "$thread"):err:winediag:nodrv_CreateWindow" "$work/stderr"; then
      fail "pavonis $1 tried to show a window: $(cat "$work/stderr")"
    fi
  done
}
# Wine hands a Windows exit code to the Linux shell as its low 8 bits (1618 arrives as 82); the
# unit tests check the whole codes.
expect_exit() {
  pavonis "${@:2}"
  expect "the exit code of pavonis ${*:2}" "$code" "$(($1 & 255))"
}

expect_exit 0 install --model RV-90
expect_walk "the queues after install" "$printer" "$prefix" queues
expect_walk "the port" "LPT1:" "$prefix" queue "$printer"
expect_walk "the default printer" "$printer" "$prefix" default-printer
WINEPREFIX=$prefix "$wine64" reg query "$record_key" >"$work/record" 2>/dev/null ||
  fail "no registry record under $record_key"
grep -q "RV-90" "$work/record" || fail "the registry record names no model: $(cat "$work/record")"

expect_exit 0 status --model RV-90
expect "the status line" "$out" "$printer is installed on LPT1:."
expect_exit 0 status --model RV-90 --json
expect "the status in JSON" "$(python3 -c 'import json,sys; d=json.loads(sys.argv[1]); print(d["installed"], d["port"])' "$out")" "True LPT1:"

# Start-up scripts run it at every boot: the second time it does nothing.
expect_exit 0 install --model RV-90
expect "the printer-UI commands after two installs" "$(iconv -f UTF-16LE -t UTF-8 "$work/printui.log" | tr '\0' '\n' | grep -c '^/if')" "1"

# While one install waits for a slow printer UI, a second one is refused.
KORVEL_PRINTUI_DELAY_MS=4000 env -u DISPLAY WINEPREFIX="$prefix" "$wine64" "$run/pavonis.exe" \
  install --model RV-90 --force >/dev/null 2>&1 &
first=$!
sleep 2
expect_exit 1618 install --model RV-90 --force
wait "$first" || fail "the first install failed while the second was refused"

# hold mutex|lock NAME: another process holds the mutex or the file lock NAME until `release`.
hold() {
  marker=$work/held
  walk "$prefix" hold "$1" "$2" "$(windows_path "$marker")" &
  holder=$!
  for _ in $(seq 100); do
    [ -e "$marker" ] && return 0
    sleep 0.05
  done
  fail "$2 was not held within 5 s"
}
release() {
  rm -f "$marker"
  wait "$holder" || fail "the holder of a lock failed"
}

# Any user may make a mutex of the name the lock once had, and keep it: it keeps no run out. A
# process holding the lock file in the program folder does, as another run would.
hold mutex 'Global\KorvelPrinterSetup'
expect_exit 0 install --model RV-90 --force
release
hold lock 'C:\ProgramData\Korvel Setup\setup.lock'
expect_exit 1618 install --model RV-90 --force
release

# A refused install gives 1603 and leaves the old queue where it was.
KORVEL_PRINTUI_REFUSE=install expect_exit 1603 install --model RV-90 --force --port COM1:
expect_walk "the old queue after the refusal" "LPT1:" "$prefix" queue "$printer"
# The reason reaches the person who ran it, not only the log.
grep -q "^Reason: " "$work/stderr" ||
  fail "the refused install gave no reason on standard error: $(cat "$work/stderr")"
echo "ok: the refusal's reason: $(grep "^Reason: " "$work/stderr" | tr -d '\r')"

# A run stopped dead between the removal of the old queue and the install of the new one, as a
# power cut or a deployment engine's time limit stops it: the printer UI takes a minute, and the
# whole Wine session is killed as soon as the backup says the new queue is being made in the old
# one's place (only a run that has not ended leaves a queue "making" there; "removed" stands only
# for a moment before it). The next run puts the queue back first, says so,
# and then installs.
backups="$prefix/drive_c/ProgramData/Korvel Setup/Backups"
KORVEL_PRINTUI_DELAY_MS=60000 env -u DISPLAY WINEPREFIX="$prefix" "$wine64" "$run/pavonis.exe" \
  install --model RV-90 --force >/dev/null 2>&1 &
killed=$!
journal=
for _ in $(seq 300); do
  journal=$(grep -l "^state=making" "$backups"/Backup-*.txt 2>/dev/null) && break
  kill -0 "$killed" 2>/dev/null || fail "the install to be killed ended first"
  sleep 0.1
done
[ -n "$journal" ] || fail "the install to be killed removed no queue within 30 s"
stop_server "$prefix"
wait "$killed" || true
start_server "$prefix"
expect_walk "the queues after the kill" "" "$prefix" queues
expect_exit 0 status --model RV-90
grep -q "An earlier setup run was stopped before it ended" "$work/stderr" ||
  fail "status did not tell of the run stopped dead: $(cat "$work/stderr")"
expect_exit 0 install --model RV-90 --force
grep -q "the queue $printer it had removed was made again" "$work/stderr" ||
  fail "the install did not say that it repaired the run stopped dead: $(cat "$work/stderr")"
expect_walk "the queue after the repair and the install" "LPT1:" "$prefix" queue "$printer"
expect "the run state of the killed run's backup" \
  "$(tr -d '\r' <"$journal" | sed -n '/^\[run\]$/{n;p}')" "state=repaired"

expect_exit 0 remove --model RV-90
expect_walk "the queues after remove" "" "$prefix" queues
if WINEPREFIX=$prefix "$wine64" reg query "$record_key" >/dev/null 2>&1; then
  fail "the registry record outlived remove"
fi
expect_exit 0 status --model RV-90
expect "the status after remove" "$out" ""
expect_exit 0 restore
expect_walk "the queues after restore" "$printer" "$prefix" queues
# The record comes back with its queue, as deployment engines read it.
WINEPREFIX=$prefix "$wine64" reg query "$record_key" >"$work/record" 2>/dev/null ||
  fail "no registry record after restore"
grep -q "RV-90" "$work/record" || fail "the restored record names no model: $(cat "$work/record")"

# A default that was not made fails the install, with the queue in place.
KORVEL_PRINTUI_REFUSE=default expect_exit 1 install --model RV-90 --force
expect_walk "the queue after the refused default" "LPT1:" "$prefix" queue "$printer"
grep -q "did not make $printer the default printer" "$work/stderr" ||
  fail "the install whose default was refused did not say so: $(cat "$work/stderr")"

expect_exit 0 validate "$(windows_path "$run")"
expect_exit 87 install --model RV-9000
echo "ok: the console program"
