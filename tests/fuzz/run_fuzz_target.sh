#!/usr/bin/env bash
# Runs one fuzz target: run_fuzz_target.sh TARGET CORPUS WORK [libFuzzer options...]
# The committed corpus is only read. The inputs the run adds go to WORK/new, which starts empty
# so that every run does the same amount of work, and a finding is written to WORK/ as
# crash-*, leak-*, timeout-* or oom-*. Ends non-zero on any finding.
set -euo pipefail
target=$1
corpus=$2
work=$3
shift 3
rm -rf "$work"
mkdir -p "$work/new"
exec "$target" -artifact_prefix="$work/" -timeout=10 -print_final_stats=1 "$@" "$work/new" "$corpus"
