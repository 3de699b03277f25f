#!/usr/bin/env bash
# The whole program under Wine, on the display DISPLAY names: the real PavonisSetup.exe beside a
# copy of sample-setup/, in a Wine prefix of each walk's own whose printer UI is the stand-in that
# carries its commands out in Wine's spooler; walked from outside by wizard_walker.exe.
#   success  the RV-90 through every page to Finish: the queue is on LPT1:, it is the default
#            printer and the only queue, and the printer UI was given the install and default
#            commands only.
#   refusal  the printer UI does not install: the wizard says so, stays open with Back and
#            Finish usable, and ends on Cancel.
#   dpi      on screens of 96, 144 and 192 DPI (a prefix made with each) the welcome page's banner
#            fills its area, and the program ends on Cancel.
# A screenshot of every page and message box is kept in the output folder it prints.
#
# e2e_test.sh --exe EXE --walker WALKER --printui DLL --driver DLL --work FOLDER
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)

# Without a display the wizard returns at once and there is nothing to walk: that is a failure.
if [ -z "${DISPLAY:-}" ]; then
  echo "FAILED: no X display; run this test with DISPLAY set (scripts/test.sh provides one)" >&2
  exit 1
fi

source "$here/walk.sh"
read_test_arguments "$@"

mkdir -p "$work"
import -window root "$work/display-check.png" ||
  fail "cannot take a screenshot of display $DISPLAY"
rm -f "$work/display-check.png"
template=$("$source_dir/scripts/wine-template.sh")

# The RV series' model at index 3, and what the wizard installs it as.
model_index=3
printer="Korvel RV-90"
failed_text='打印机驱动安装失败！'

# begin_walk NAME [DPI]: a fresh folder for the walk NAME with its prefix, setup folder, printer-UI log
# and screenshots, and the wizard started in it. Run in the walk's own shell: it sets the
# variables the walk goes on with, and the trap that stops the walk's Wine server.
begin_walk() {
  dir=$work/$1
  prefix=$dir/wineprefix
  run=$dir/setup
  log=$dir/printui.log
  SHOTS=$dir/screenshots
  # shellcheck disable=SC2064 # the prefix of this walk, fixed now
  trap "stop_server '$prefix'" EXIT
  stop_server "$prefix"
  rm -rf "$dir"
  mkdir -p "$SHOTS"
  prepare_prefix "$template" "$prefix" "$printui" "$driver"
  if [ -n "${2:-}" ]; then
    WINEPREFIX=$prefix "$wine64" reg add 'HKCU\Control Panel\Desktop' /v LogPixels \
      /t REG_DWORD /d "$2" /f >/dev/null 2>&1 || fail "cannot set the DPI of the prefix"
    WINEPREFIX=$prefix "$wineserver" -w
  fi
  lay_out "$run" "$exe" "$source_dir/sample-setup"
  export KORVEL_PRINTUI_LOG
  KORVEL_PRINTUI_LOG=$(windows_path "$log")
  start_server "$prefix"
  start_wizard "$prefix" "$run"
}

# expect_commands LINE...: the printer UI was given exactly these command lines, in this order.
# Each record of its log is a command line in UTF-16LE ended by a NUL.
# The run's setup log, which the program writes under the prefix's ProgramData, ends with the
# given result; a copy is kept with the screenshots.
expect_log() {
  local logs=("$prefix/drive_c/ProgramData/Korvel Setup/Logs/"*.log)
  [ -f "${logs[0]}" ] || fail "the program wrote no setup log"
  cp "${logs[0]}" "$dir/"
  local last
  last=$(tail -n 1 "${logs[0]}" | sed -n 's/^<!\[LOG\[\(.*\)\]LOG\]!>.*/\1/p')
  expect "the last line of the setup log" "$last" "$1"
}

expect_commands() {
  expect "the printer-UI commands" "$(iconv -f UTF-16LE -t UTF-8 "$log" | tr '\0' '\n')" \
    "$(printf '%s\n' "$@")"
  # What failed in it is written beside its log.
  [ ! -e "$log.errors" ] || fail "the printer UI failed: $(cat "$log.errors")"
}

# end_walk: a walk that passed needs its 700 MB prefix no more; one that failed keeps it for a
# look.
end_walk() {
  stop_server "$prefix"
  rm -rf "$prefix"
}

# The install command for the RV-90, a 9-pin model, on LPT1:; it ends in a blank.
install_command() {
  local inf
  inf=$(windows_path "$run/PrinterDriver/9pin/OEMPRINT.INF")
  echo "/if /n \"$printer\" /f \"$inf\" /r \"LPT1:\" /m \"$printer\" "
}

scenario_success() {
  unset KORVEL_PRINTUI_REFUSE
  begin_walk success
  walk_success "$prefix" "$model_index"

  expect_walk "the queues" "$printer" "$prefix" queues
  expect_walk "the port of the new queue" "LPT1:" "$prefix" queue "$printer"
  expect_walk "the default printer" "$printer" "$prefix" default-printer
  expect_commands "$(install_command)" "/y /q /n \"$printer\""
  expect_log "Result: installed."
  end_walk
}

scenario_refusal() {
  export KORVEL_PRINTUI_REFUSE=install
  begin_walk refusal
  walk_to_summary "$prefix" "$model_index"

  local statuses
  statuses=$(finish_and_watch "$prefix" ERROR) || exit 1
  expect "the statuses after Finish" "$(grep -v '^$' <<<"$statuses")" \
    "$(printf '%s\n%s' "$installing_text" "$failed_text")"
  expect_walk "the error box" "ERROR | $failed_text | error | OK" "$prefix" wait-box ERROR
  expect_walk "the status under the box" "$failed_text" "$prefix" text "$status_id"
  shot 5-error-box
  walk_out "$prefix" answer ERROR ok

  # The buttons come back once the message box has returned; give that a moment.
  local wanted=$'back=enabled\nnext=hidden\nfinish=enabled\ncancel=enabled'
  local buttons end=$((SECONDS + 10))
  while :; do
    buttons=$(walk_out "$prefix" buttons) || exit 1
    if [ "$buttons" = "$wanted" ] || [ "$SECONDS" -ge "$end" ]; then break; fi
    sleep 0.2
  done
  expect "the wizard's buttons after the error" "$buttons" "$wanted"
  walk "$prefix" wait-page 3 >/dev/null || fail "the wizard left the install page"
  shot 6-after-error

  walk_out "$prefix" press cancel
  walk "$prefix" wait-closed || fail "the wizard stayed open after Cancel"
  wait_wizard_exit 30
  echo "ok: the program ended"

  # The list is read by a step whose failure ends the walk, so an empty list is no queue made;
  # the success walk shows the same step listing the queue it made.
  expect_walk "the queues after the refusal" "" "$prefix" queues
  # No default command follows an installation that failed.
  expect_commands "$(install_command)"
  expect_log "Result: not installed."
  end_walk
}

# The banner's size on the welcome page at each DPI: the template's 152 x 192 dialog units in the
# dialog font at that DPI, measured under Wine 8 with the font the prefix maps the dialog font to.
declare -A banner_sizes=([96]=228x312 [144]=342x456 [192]=456x600)

scenario_dpi() {
  local dpi
  for dpi in 96 144 192; do
    (
      begin_walk "dpi-$dpi" "$dpi"
      walk "$prefix" --timeout 30000 wait-page 0 >/dev/null || fail "the welcome page did not appear"
      expect_walk "the banner at $dpi DPI" "${banner_sizes[$dpi]}" "$prefix" banner
      shot 1-welcome
      walk_out "$prefix" press cancel
      walk "$prefix" wait-closed || fail "the wizard stayed open after Cancel"
      wait_wizard_exit 30
      end_walk
    ) || exit 1
  done
}

# Each walk stops its own Wine server; this is for a walk that was killed on the way.
trap 'for walk_dir in "$work"/*/; do stop_server "${walk_dir}wineprefix"; done' EXIT
trap 'exit 1' INT TERM HUP

echo "screenshots and logs: $work"
failed=()
for scenario in success refusal dpi; do
  echo "== $scenario"
  started=$SECONDS
  # Each walk runs in a shell of its own, so that a failed step ends only that walk; errexit
  # would be off in an if condition, hence the status is taken afterwards.
  set +e
  (
    set -e
    "scenario_$scenario"
  )
  status=$?
  set -e
  if [ "$status" -eq 0 ]; then
    echo "== $scenario passed in $((SECONDS - started)) s"
  else
    echo "== $scenario FAILED after $((SECONDS - started)) s"
    failed+=("$scenario")
  fi
done
echo "screenshots: $work/success/screenshots $work/refusal/screenshots" \
  "$work"/dpi-*/screenshots
[ ${#failed[@]} -eq 0 ] || { echo "FAILED: ${failed[*]}" >&2; exit 1; }
