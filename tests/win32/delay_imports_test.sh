#!/usr/bin/env bash
# The system DLLs that are not known DLLs (newdev, setupapi, winspool) must be imported with delay
# by each program: imported the ordinary way they are looked for in the program's folder before
# any of our code restricts the search, and a DLL planted in a download folder would be loaded with
# administrator rights. Each program given must name them (its delay imports) and must not list
# them among its ordinary imports.
set -euo pipefail
status=0
for program in "$@"; do
  ordinary=$(x86_64-w64-mingw32-objdump -p "$program" | sed -n 's/^[[:space:]]*DLL Name: //p')
  named=$(strings -a "$program")
  for dll in newdev.dll SETUPAPI.dll WINSPOOL.DRV; do
    if grep -qix "$dll" <<<"$ordinary"; then
      echo "FAILED: $(basename "$program") imports $dll the ordinary way" >&2
      status=1
    elif ! grep -qix "$dll" <<<"$named"; then
      echo "FAILED: $(basename "$program") does not import $dll at all" >&2
      status=1
    fi
  done
done
[ "$status" -eq 0 ] && echo "ok: newdev, setupapi and winspool are delay-imported by $# programs"
exit "$status"
