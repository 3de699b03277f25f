#!/usr/bin/env bash
# Ends a scheduler of tests/cups/start-scheduler.sh and removes its folder.
set -euo pipefail
dir=${1:?usage: stop-scheduler.sh FOLDER}
if [ -s "$dir/cupsd.pid" ]; then
  pid=$(cat "$dir/cupsd.pid")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
fi
rm -rf "$dir"
