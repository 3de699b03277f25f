#!/usr/bin/env bash
# The service's unit keeps its sandbox: systemd's own review of it (offline, so that it runs
# where systemd does not) stays at "OK" or better, and the settings the service's safety rests on
# are there, while file devices are never turned on.
set -euo pipefail
unit=${1:?usage: unit_sandbox_test.sh UNIT-FILE}
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
for setting in 'ProtectSystem=strict' 'PrivateTmp=yes' 'NoNewPrivileges=yes' \
  'ReadWritePaths=/var/lib/korvel-printer-app /var/spool/korvel-printer-app /run/korvel-printer-app' \
  'User=korvel-printer-app' 'Environment=XDG_RUNTIME_DIR=/run/korvel-printer-app' \
  '-o server-port=8631 -o listen-hostname=localhost'; do
  grep -qF -- "$setting" "$unit" || fail "the unit lacks $setting"
done
! grep -q 'file-devices' "$unit" || fail "the unit turns file devices on"
if command -v systemd-analyze >/dev/null; then
  # Exposure runs from 0 (locked down) to 10, up to 2 being "OK"; the threshold counts tenths.
  systemd-analyze security --offline=true --threshold=20 --no-pager "$unit" | tail -1
fi
echo "ok: the unit's sandbox is in place"
