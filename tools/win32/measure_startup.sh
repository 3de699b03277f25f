#!/usr/bin/env bash
# Measures, side by side under Wine, how long PavonisSetup.exe (beside a copy of the sample setup
# folder) and a minimal one-page property sheet take to show their first page; prints the medians
# and their ratio. Needs the win64 build.
#
#   tools/win32/measure_startup.sh [runs]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."

runs=${1:-15}
build=$PWD/build/win64
work=$PWD/build/startup
rm -rf "$work"
mkdir -p "$work/run"
cp -r sample-setup/. "$work/run/"
cp "$build/app/PavonisSetup.exe" "$build/tools/win32/minimal_sheet.exe" "$work/run/"
cp -a "$(scripts/wine-template.sh)" "$work/prefix"

export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  export DISPLAY=:$((200 + RANDOM % 100))
  Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  sleep 1
fi
/usr/lib/wine/wineserver -p60
/usr/lib/wine/wine64 wineboot >/dev/null 2>&1

time_of() {
  /usr/lib/wine/wine64 "$build/tools/win32/first_page_timer.exe" "$(winepath_of "$work/run/$1")" \
    "$(winepath_of "$work/run")" 2>/dev/null | tr -d '\r'
}
winepath_of() { echo "Z:$1" | tr '/' '\\'; }

# One untimed start of each first, so that both are measured with warm caches.
time_of PavonisSetup.exe >/dev/null
time_of minimal_sheet.exe >/dev/null
setup=()
minimal=()
for _ in $(seq "$runs"); do
  setup+=("$(time_of PavonisSetup.exe)")
  minimal+=("$(time_of minimal_sheet.exe)")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
s=$(median "${setup[@]}")
m=$(median "${minimal[@]}")
echo "PavonisSetup.exe: $(stat -c %s "$build/app/PavonisSetup.exe") bytes"
echo "first page, median of $runs runs: PavonisSetup.exe $s ms, minimal sheet $m ms"
awk -v s="$s" -v m="$m" 'BEGIN {printf "ratio: %.2f\n", s / m}'
