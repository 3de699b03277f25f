#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix: wine-run.sh [--dpi DPI] PREFIX PROGRAM
# [ARGS...]. The prefix is copied from the template on first use (its screen set to DPI dots per
# inch when given: a prefix has one DPI, so each DPI needs a prefix of its own), and a wineserver is kept alive for it so that
# each test program starts in milliseconds; scripts/test.sh removes the prefix before a run and stops
# the server after it, so that no run sees what an earlier one left.
set -euo pipefail

dpi=
if [ "$1" = --dpi ]; then
  dpi=$2
  shift 2
fi
prefix=$1
shift
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

if [ ! -f "$prefix/.korvel-template" ]; then
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/.korvel-template" ]; then
      template=$("$here/wine-template.sh")
      rm -rf "$prefix" "$prefix.tmp"
      cp -a "$template" "$prefix.tmp"
      if [ -n "$dpi" ]; then
        WINEPREFIX=$prefix.tmp WINEDEBUG=-all /usr/lib/wine/wine64 reg add \
          'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
        WINEPREFIX=$prefix.tmp /usr/lib/wine/wineserver -w
      fi
      mv "$prefix.tmp" "$prefix"
    fi
  ) 9>"$prefix.lock"
fi

export WINEPREFIX=$prefix WINEARCH=win64 WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
# The first program of a run starts the persistent server (it ends by itself 30 s after its last
# client) and Wine's own background processes. They get neither the caller's standard output nor
# the lock: ctest waits for every holder of a test's output pipe, and the next test for the lock,
# as long as a server or service holding them lives.
(
  flock 9
  if /usr/lib/wine/wineserver -p30 </dev/null >/dev/null 2>&1 9>&-; then
    /usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$prefix.lock"
exec /usr/lib/wine/wine64 "$@"
