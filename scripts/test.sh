#!/usr/bin/env bash
# Builds and tests everything: the format check, the native tests, the same tests with
# AddressSanitizer and UndefinedBehaviorSanitizer, and the Windows build's tests under Wine (on a
# private X display). Installs what is missing first. Ends non-zero on any failure.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

scripts/install-deps.sh

echo "== format"
scripts/check-format.sh

for preset in native sanitize; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j"$(nproc)"
done

echo "== win64 (under Wine)"
cmake --preset win64 >/dev/null
cmake --build --preset win64
scripts/wine-template.sh >/dev/null
prefix=$PWD/build/win64/wineprefix
# Each run starts from a fresh copy of the template, and its Wine server and display end with it.
WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
rm -rf "$prefix" "$prefix.tmp"
cleanup() {
  WINEPREFIX=$prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
DISPLAY=$display ctest --preset win64 -j"$(nproc)"
