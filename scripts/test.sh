#!/usr/bin/env bash
# Builds and tests everything: the format check, the check that no include reaches a higher layer
# or goes in a circle, the native tests (run as root, with the CUPS spooler against a private
# scheduler), the same tests with AddressSanitizer and UndefinedBehaviorSanitizer, the fuzz targets
# for a fixed number of inputs each, the Windows build's tests under Wine (on a private X display),
# and the release, signed with a throwaway certificate and checked as it is shipped. Installs what
# is missing first. Ends non-zero on any failure.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/install-deps.sh

echo "== format"
scripts/check-format.sh

echo "== layers"
tools/check_layers.py --self-test
tools/check_layers.py

for preset in native sanitize fuzz; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  # The CUPS tests (label cups) start a private scheduler of their own and run after the rest.
  ctest --preset "$preset" -j"$(nproc)" -LE cups
  if [ "$preset" != fuzz ]; then
    if ctest --preset "$preset" -N -L cups | grep -q "Total Tests: [1-9]"; then
      echo "== $preset: CUPS spooler against a private scheduler"
      ctest --preset "$preset" -L cups
    else
      echo "== $preset: CUPS spooler tests skipped: they need root, cupsd and libcups2-dev"
    fi
  fi
done

echo "== win64 (under Wine)"
cmake --preset win64 >/dev/null
cmake --build --preset win64
scripts/wine-template.sh >/dev/null
# The usual prefix, and those of the tests at other DPIs (tests/gui/CMakeLists.txt).
prefixes=("$PWD/build/win64/wineprefix" "$PWD/build/win64/wineprefix-"*dpi)
stop_servers() {
  for prefix in "${prefixes[@]}"; do
    [ -d "$prefix" ] && WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  done
}
# Each run starts from fresh copies of the template, and their Wine servers and display end with
# it.
stop_servers
for prefix in "${prefixes[@]}"; do
  rm -rf "$prefix" "$prefix.tmp"
done
prefixes=("$PWD/build/win64/wineprefix" "$PWD/build/win64/wineprefix-144dpi"
  "$PWD/build/win64/wineprefix-192dpi")
cleanup() {
  stop_servers
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
# A private display, picked by Xvfb itself among the free ones.
display_file=$PWD/build/win64/xvfb-display
rm -f "$display_file"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
[ -s "$display_file" ] || { echo "Xvfb did not start" >&2; exit 1; }
DISPLAY=:$(cat "$display_file") ctest --preset win64 -j"$(nproc)"

echo "== release"
tests/release/release_test.sh
