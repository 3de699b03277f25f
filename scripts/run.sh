#!/usr/bin/env bash
# Runs the wizard under Wine on a copy of sample-setup/. Installs what is missing, builds the
# program, and prepares under build/run/ a fresh Wine prefix whose printer UI is the test stand-in
# (Wine's own does nothing, so no installation could complete) and a folder with the program
# beside the setup data. With DISPLAY set the wizard opens there for you to use; without one it
# runs on a private Xvfb and is walked through a successful installation of the RV-90, with a
# screenshot of every page written to build/run/screenshots. Ends non-zero when the walk fails.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD

scripts/install-deps.sh
cmake --preset win64 >/dev/null
cmake --build --preset win64 --target PavonisSetup korvel_printui_standin \
  korvel_test_printer_driver korvel_wizard_walker
build=$root/build/win64
WALKER=$build/tests/e2e/korvel_wizard_walker.exe
source tests/e2e/walk.sh
template=$(scripts/wine-template.sh)

run=$root/build/run
prefix=$run/wineprefix
setup=$run/setup
log=$run/printui.log
SHOTS=$run/screenshots
cleanup() {
  stop_server "$prefix"
  [ -z "${xvfb_pid:-}" ] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
trap 'exit 1' INT TERM HUP

stop_server "$prefix"
rm -rf "$SHOTS" "$log" "$log.errors"
mkdir -p "$run" "$SHOTS"
prepare_prefix "$template" "$prefix" "$build/tests/win32/print_ui/printui.dll" \
  "$build/tests/win32/spooler/korvel_test_printer_driver.dll"
lay_out "$setup" "$build/app/PavonisSetup.exe" sample-setup
export KORVEL_PRINTUI_LOG
KORVEL_PRINTUI_LOG=$(windows_path "$log")

# What the printer UI was asked to do and what failed in it, after the wizard has ended.
report() {
  if [ -e "$log" ]; then
    echo "printer-UI commands:"
    iconv -f UTF-16LE -t UTF-8 "$log" | tr '\0' '\n' | sed 's/^/  /'
  fi
  if [ -e "$log.errors" ]; then
    echo "printer-UI failures:"
    sed 's/^/  /' "$log.errors"
  fi
}

if [ -n "${DISPLAY:-}" ]; then
  echo "Starting the wizard on $DISPLAY (setup folder: $setup)"
  start_server "$prefix"
  start_wizard "$prefix" "$setup"
  wait "$wizard_pid" || true
  report
  exit 0
fi

# No display: a private one, picked by Xvfb itself among the free ones.
display_file=$run/xvfb-display
rm -f "$display_file"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || fail "Xvfb did not start"
  sleep 0.1
done
[ -s "$display_file" ] || fail "Xvfb did not report its display"
DISPLAY=:$(cat "$display_file")
export DISPLAY
echo "No DISPLAY: walking the wizard on a private Xvfb ($DISPLAY)"
echo "screenshots: $SHOTS"

start_server "$prefix"
start_wizard "$prefix" "$setup"
walk_success "$prefix" 3
echo "queue Korvel RV-90 on: $(walk_out "$prefix" queue "Korvel RV-90")"
echo "default printer: $(walk_out "$prefix" default-printer)"
report
echo "screenshots: $SHOTS"
