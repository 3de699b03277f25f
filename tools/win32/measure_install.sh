#!/usr/bin/env bash
# Measures, side by side under Wine, how long `pavonis install --force` takes against the bare
# printer-UI commands a script would run for the same job through cmd: delete the queue, install
# it, make it the default. Both run in one Wine prefix with the test printer UI, which carries the
# commands out in Wine's spooler, and with a Wine server kept alive, so that what is measured is
# the work and not Wine's start-up. Prints the medians, the ranges and the ratio of the medians.
# Needs the win64 build; another pavonis.exe, such as one built from an earlier commit, can be
# measured in its place.
#
#   tools/win32/measure_install.sh [runs] [pavonis.exe]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
source tests/e2e/walk.sh

runs=${1:-15}
build=$PWD/build/win64
program=$(realpath "${2:-$build/console/pavonis.exe}")
model=RV-90
printer="Korvel RV-90"
port=LPT1:
work=$PWD/build/install-speed
prefix=$work/prefix
run=$work/run
trap 'stop_server "$prefix"' EXIT
stop_server "$prefix"
rm -rf "$work"
mkdir -p "$work"
prepare_prefix "$(scripts/wine-template.sh)" "$prefix" \
  "$build/tests/win32/print_ui/printui.dll" \
  "$build/tests/win32/spooler/korvel_test_printer_driver.dll"
lay_out "$run" "$program" sample-setup
export WINEPREFIX=$prefix KORVEL_PRINTUI_LOG
KORVEL_PRINTUI_LOG=$(windows_path "$work/printui.log")
# No display: the console program shows no window, and none of Wine's may wait for one.
unset DISPLAY

# The commands pavonis gives the printer UI (install/windows/print_ui_commands.cpp), with /dl before them
# in place of its own removal through the spooler.
entry='rundll32 printui.dll,PrintUIEntry'
inf=$(windows_path "$run/PrinterDriver/9pin/OEMPRINT.INF")
printf '%s\r\n' '@echo off' \
  "$entry /dl /n \"$printer\" /q" \
  "$entry /if /n \"$printer\" /f \"$inf\" /r \"$port\" /m \"$printer\" " \
  "$entry /y /q /n \"$printer\"" >"$run/bare.cmd"
bare_cmd=$(windows_path "$run/bare.cmd")

start_server "$prefix"
"$wine64" wineboot >/dev/null 2>&1

# ms_of COMMAND...: runs it and prints how long it took in milliseconds; a failure ends the script.
ms_of() {
  local start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || fail "$* ended with $?"
  local end=$EPOCHREALTIME
  awk -v s="$start" -v e="$end" 'BEGIN {printf "%.1f\n", (e - s) * 1000}'
}
pavonis_install() {
  "$wine64" "$run/$(basename "$program")" install --model "$model" --port "$port" --force
}
bare_commands() { "$wine64" cmd /c "$bare_cmd"; }

# One untimed run of each first, so that both are measured with warm caches and each later /dl
# finds the queue the other side installed.
pavonis_install >/dev/null 2>&1 || fail "the first pavonis install failed"
bare_commands >/dev/null 2>&1 || fail "the first bare commands failed"
rm -f "$work/printui.log.errors"
console=()
bare=()
for _ in $(seq "$runs"); do
  console+=("$(ms_of pavonis_install)")
  bare+=("$(ms_of bare_commands)")
done
# The printer UI reports every command it could not carry out; a side that failed fast would
# look fast.
[ ! -s "$work/printui.log.errors" ] || fail "the printer UI failed: $(cat "$work/printui.log.errors")"

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
c=$(median "${console[@]}")
b=$(median "${bare[@]}")
range() { printf '%s\n' "$@" | sort -n | sed -n '1p;$p' | paste -sd- | sed 's/-/ to /'; }
echo "install of $printer on $port, median of $runs runs: pavonis $c ms, bare commands $b ms"
echo "range: pavonis $(range "${console[@]}") ms, bare commands $(range "${bare[@]}") ms"
awk -v c="$c" -v b="$b" 'BEGIN {printf "ratio: %.2f\n", c / b}'
