#!/usr/bin/env bash
# The 24-pin driver against CUPS's own ESC/P raster filter (rastertoepson with the sample
# "Epson 24-Pin Series" PPD, at 180 dpi), on the same A4 grey page, from raster to printer bytes:
#   tools/printer_app/measure_escp_speed.sh [BENCHMARK-PROGRAM] [RUNS]
# Ours runs in process, over many repetitions (the median page). The filter runs RUNS times as a
# process on the page's 1-bit raster (the page dithered as ours dithers it, since the filter takes
# 1-bit black only), each run paired with one on a tiny page, whose time is the process's start
# with its PPD; the filter's time for the page is the median of the pairs' differences. Prints the times and the ratios; at
# most 1.0 means ours is as fast or faster. Needs cups (rastertoepson, cups-driverd).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
benchmark=${1:-$root/build/release/printer_app/escp_speed_benchmark}
runs=${2:-31}
[ -x "$benchmark" ] || {
  echo "no $benchmark: cmake --preset release && cmake --build --preset release --target escp_speed_benchmark" >&2
  exit 1
}
filter=/usr/lib/cups/filter/rastertoepson
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/lib/cups/daemon/cups-driverd cat drv:///sample.drv/epson24.ppd >"$work/epson24.ppd" 2>/dev/null
grep -q '24-Pin' "$work/epson24.ppd" || { echo "no sample 24-pin PPD from cups-driverd" >&2; exit 1; }
"$benchmark" write "$work/gray.ras" "$work/black.ras" "$work/tiny.ras"

# Microseconds one run of the filter takes on a raster.
filter_us() {
  local start end
  start=$(date +%s%N)
  PPD=$work/epson24.ppd "$filter" 1 user title 1 "" "$1" >"$work/out.prn" 2>/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}

# The runs on the page and on the tiny page take turns, so that a busy moment of the machine
# weighs on both; the page's own time is the median of the differences of each pair.
median() { sort -n | awk '{ t[NR] = $1 } END { printf "%.3f\n", t[int((NR + 1) / 2)] / 1000 }'; }
pages=()
starts=()
differences=()
for _ in $(seq "$runs"); do
  page=$(filter_us "$work/black.ras")
  start=$(filter_us "$work/tiny.ras")
  pages+=("$page")
  starts+=("$start")
  differences+=("$((page - start))")
done
cups_page=$(printf '%s\n' "${pages[@]}" | median)
cups_start=$(printf '%s\n' "${starts[@]}" | median)
cups_own=$(printf '%s\n' "${differences[@]}" | median)

ours_gray=$("$benchmark" time "$work/gray.ras" 200 2>/dev/null)
ours_black=$("$benchmark" time "$work/black.ras" 200 2>/dev/null)
awk -v gray="$ours_gray" -v black="$ours_black" -v page="$cups_page" -v start="$cups_start" \
  -v cups="$cups_own" 'BEGIN {
  printf "ours, grey page (dither and encode, in process): %8.3f ms\n", gray
  printf "ours, 1-bit page (encode, in process):           %8.3f ms\n", black
  printf "rastertoepson, 1-bit page, process:              %8.3f ms\n", page
  printf "rastertoepson, tiny page (its start):            %8.3f ms\n", start
  printf "rastertoepson, the page without its start:       %8.3f ms (median of pairs)\n", cups
  printf "ratio, grey page (ours / CUPS):                  %8.2f\n", gray / cups
  printf "ratio, same 1-bit raster (ours / CUPS):          %8.2f\n", black / cups
}'
