# shellcheck shell=bash
# Running the wizard in a Wine prefix of its own and walking it with wizard_walker.exe, for
# tests/e2e/e2e_test.sh and scripts/run.sh. Sourced, not run. The caller sets:
#   WALKER  the walker program (a Linux path)
#   SHOTS   the folder the screenshots go to
# and DISPLAY. Every wait is bounded; a failed step ends the calling script with a message.

wine64=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
# Wine would otherwise offer to install its .NET and HTML engines and wait for an answer.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

# The texts and ids of the wizard the walk checks.
welcome_id=1031
drivers_id=1010
ports_id=1008
port_info_id=1032
driver_line_id=1021
port_line_id=1022
status_id=1028
rv_models=$'RV-1800K\nRV-2400K\nRV-630K\nRV-90\nRV-95'
no_usb_text='没有检测到与打印机连接的可用USB口，请手动选择端口，并按“下一步”确认驱动安装信息。'
installing_text='正在安装打印机驱动...'
installed_text='打印机驱动已成功安装！'
succeeded_box_text='打印机驱动安装成功！'

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

# expect WHAT ACTUAL EXPECTED
expect() {
  [ "$2" = "$3" ] || fail "$1: got [$2], expected [$3]"
  echo "ok: $1"
}

# The Windows form (Z:) of a Linux path.
# Reads the arguments the end-to-end test scripts take: --exe, --walker, --printui, --driver and
# --work, into exe, WALKER, printui, driver and work.
read_test_arguments() {
  while [ $# -gt 0 ]; do
    case $1 in
      --exe) exe=$2 ;;
      --walker) WALKER=$2 ;;
      --printui) printui=$2 ;;
      --driver) driver=$2 ;;
      --work) work=$2 ;;
      *) echo "unknown argument: $1" >&2; exit 2 ;;
    esac
    shift 2
  done
  for value in exe WALKER printui driver work; do
    [ -n "${!value:-}" ] || { echo "missing --${value,,}" >&2; exit 2; }
  done
}

windows_path() {
  local path
  path=$(realpath -m "$1")
  echo "Z:${path//\//\\}"
}

# prepare_prefix TEMPLATE PREFIX PRINTUI DRIVER: a fresh copy of the template prefix, with the
# stand-in printer UI in place of Wine's and the test driver beside it, where the stand-in looks.
prepare_prefix() {
  local system32=$2/drive_c/windows/system32
  rm -rf "$2"
  cp -a "$1" "$2"
  cp "$3" "$system32/printui.dll"
  cp "$4" "$system32/korvel_test_printer_driver.dll"
}

# lay_out RUN_FOLDER EXE SAMPLE_SETUP: the program beside a copy of the setup folder.
lay_out() {
  rm -rf "$1"
  mkdir -p "$1"
  cp -r "$3"/. "$1"/
  cp "$2" "$1"/
}

# start_server PREFIX: a Wine server kept alive until stop_server, so that each walker step
# starts in milliseconds and the spooler can be asked after the wizard has ended.
start_server() {
  WINEPREFIX=$1 "$wineserver" -p </dev/null >/dev/null 2>&1
}

stop_server() {
  # Wine takes an empty WINEPREFIX for ~/.wine, which is not ours to stop.
  [ -n "$1" ] || return 0
  WINEPREFIX=$1 "$wineserver" -k 2>/dev/null || true
}

# start_wizard PREFIX RUN_FOLDER: starts the program in the background; its process is wizard_pid.
start_wizard() {
  (cd "$2" && WINEPREFIX=$1 exec "$wine64" PavonisSetup.exe </dev/null) &
  wizard_pid=$!
}

# wait_wizard_exit SECONDS: fails unless the program ends within the time.
wait_wizard_exit() {
  local end=$((SECONDS + $1))
  while kill -0 "$wizard_pid" 2>/dev/null; do
    [ "$SECONDS" -lt "$end" ] || fail "the program did not end within $1 s"
    sleep 0.1
  done
  wait "$wizard_pid" || true
}

# walk PREFIX ARGS...: one walker step; its output on standard output. The outer bound is there in
# case Wine itself hangs: it is longer than the walker's own waits (a step waits for the wizard,
# then for what it asks), so that the walker can say what it waited for in vain.
walk() {
  local prefix=$1
  shift
  WINEPREFIX=$prefix timeout 90 "$wine64" "$WALKER" --timeout 20000 "$@"
}

# walk_out PREFIX ARGS...: a step's output, or the end of the calling script when the step fails.
# Inside $(...) a failure ends only that subshell: take the output as
# `var=$(walk_out ...) || exit 1`, or compare it with expect_walk.
walk_out() {
  local out
  out=$(walk "$@") || fail "walker step '${*:2}' failed"
  printf '%s' "$out"
}

# expect_walk WHAT EXPECTED PREFIX ARGS...: the output of one walker step is EXPECTED. A step that
# fails ends the calling script, so that a failed read never passes for an expected empty output.
expect_walk() {
  local out
  out=$(walk_out "${@:3}") || exit 1
  expect "$1" "$out" "$2"
}

# shot NAME: a screenshot of the whole screen. The pause lets the wizard paint what it was just
# told to show and the X server take it.
shot() {
  sleep 0.4
  import -window root "$SHOTS/$1.png" || fail "no screenshot $SHOTS/$1.png"
  echo "screenshot: $SHOTS/$1.png"
}

# walk_to_summary PREFIX MODEL_INDEX: from the welcome page to the install page, choosing the
# model at MODEL_INDEX of the RV series and the port the wizard preselects. Checks every page.
walk_to_summary() {
  local prefix=$1 index=$2 model welcome
  walk "$prefix" --timeout 30000 wait-page 0 >/dev/null || fail "the welcome page did not appear"
  shot 1-welcome
  welcome=$(walk_out "$prefix" text "$welcome_id") || exit 1
  case "$welcome" in
    *欢迎使用Korvel打印机驱动安装向导*) echo "ok: the welcome page greets in Chinese" ;;
    *) fail "the welcome page does not hold its Chinese greeting" ;;
  esac

  walk_out "$prefix" press next
  walk "$prefix" wait-page 1 >/dev/null || fail "the driver page did not appear"
  expect_walk "the RV models" "$rv_models" "$prefix" list "$drivers_id"
  walk_out "$prefix" select "$drivers_id" "$index"
  model=$(sed -n "$((index + 1))p" <<<"$rv_models")
  expect_walk "the chosen model" "$model" "$prefix" selected "$drivers_id"
  shot 2-drivers

  walk_out "$prefix" press next
  walk "$prefix" wait-page 2 >/dev/null || fail "the port page did not appear"
  expect_walk "the port page's text" "$no_usb_text" "$prefix" text "$port_info_id"
  # Wine's ports, in the order its spooler lists them.
  expect_walk "the ports" "$(printf '%s\n' COM1: COM2: COM3: COM4: FILE: LPT1: LPT2: LPT3:)" \
    "$prefix" list "$ports_id"
  expect_walk "the preselected port" "LPT1:" "$prefix" selected "$ports_id"
  shot 3-port

  walk_out "$prefix" press next
  walk "$prefix" wait-page 3 >/dev/null || fail "the install page did not appear"
  expect_walk "the driver line" "驱动：Korvel $model" "$prefix" text "$driver_line_id"
  expect_walk "the port line" "端口：LPT1:" "$prefix" text "$port_line_id"
  expect_walk "the status before Finish" "" "$prefix" text "$status_id"
  shot 4-install
}

# finish_and_watch PREFIX CAPTION: presses Finish and prints each status the page shows until the
# message box with CAPTION appears.
finish_and_watch() {
  walk_out "$1" press finish
  walk_out "$1" watch-text "$status_id" "$2"
}

# walk_success PREFIX MODEL_INDEX: the whole walk of an installation that succeeds, up to the end
# of the program.
walk_success() {
  local prefix=$1 statuses
  walk_to_summary "$prefix" "$2"
  statuses=$(finish_and_watch "$prefix" OK) || exit 1
  # The work, then its end. Whether the watch still saw the empty status of the page before
  # depends on how fast it started.
  expect "the statuses after Finish" "$(grep -v '^$' <<<"$statuses")" \
    "$(printf '%s\n%s' "$installing_text" "$installed_text")"
  expect_walk "the success box" "OK | $succeeded_box_text | information | OK" "$prefix" wait-box OK
  shot 5-success-box
  walk_out "$prefix" answer OK ok
  walk "$prefix" wait-closed || fail "the wizard stayed open after the success box"
  wait_wizard_exit 30
  echo "ok: the program ended"
}
