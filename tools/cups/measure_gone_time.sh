#!/usr/bin/env bash
# Measures how long `pavonis install --force` leaves the printer without a queue: the time from
# the log's "Removed the queue Korvel_RV-90." to its "Made the queue Korvel_RV-90.", on a private
# CUPS scheduler with no other queue and, side by side, on one with N other queues (200 unless
# told). The runs alternate between the two schedulers, so that a load that comes and goes on the
# machine falls on both. Prints each run, the two medians and their ratio; it asserts nothing.
# Needs root and cupsd, as tests/cups does; another pavonis, such as one built from an earlier
# commit, can be measured in place of the native build's.
#
#   tools/cups/measure_gone_time.sh [runs] [other queues] [pavonis]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
runs=${1:-7}
others=${2:-200}
program=$(realpath "${3:-build/native/console/pavonis}")
queue=Korvel_RV-90
[ -x "$program" ] || { echo "no pavonis at $program (cmake --build --preset native)" >&2; exit 1; }

work=$(mktemp -d /tmp/korvel-gone-time-XXXXXX)
few=$work/few
many=$work/many
cleanup() {
  for scheduler in "$few" "$many"; do
    [ -d "$scheduler" ] && tests/cups/stop-scheduler.sh "$scheduler"
  done
  rm -rf "$work"
}
trap cleanup EXIT
# The filters of the schedulers run as lp, below this folder; the runs' own folders are root's.
chmod 755 "$work"
mkdir -p "$few" "$many"
mkdir -m 700 "$few-state" "$few-logs" "$many-state" "$many-logs"
few_server=$(tests/cups/start-scheduler.sh "$few")
many_server=$(tests/cups/start-scheduler.sh "$many")

# on SCHEDULER COMMAND...: runs a command against one of the private schedulers.
on() {
  local folder=$1 server
  shift
  [ "$folder" = "$few" ] && server=$few_server || server=$many_server
  CUPS_SERVER=$server CUPS_SERVERROOT=$folder "$@"
}

# The other queues: ESC/P 24-pin queues on a socket, the first made from CUPS's own driver and
# the rest with a copy of its PPD, as an administrator's script would set up a print server.
if [ "$others" -gt 0 ]; then
  on "$many" lpadmin -p Other_1 -E -v socket://127.0.0.1:9 -m drv:///sample.drv/epson24.ppd \
    -D "Other printer 1" 2>/dev/null
  cp "$many/ppd/Other_1.ppd" "$work/other.ppd"
  for i in $(seq 2 "$others"); do
    on "$many" lpadmin -p "Other_$i" -E -v "socket://127.0.0.1:9" -P "$work/other.ppd" \
      -D "Other printer $i" 2>/dev/null
  done
fi
echo "other queues: $(on "$few" lpstat -p 2>/dev/null | grep -c '^printer ' || true) and" \
  "$(on "$many" lpstat -p 2>/dev/null | grep -c '^printer ' || true)"

# install SCHEDULER LOG: one install that replaces the queue of the last one, its log in LOG.
# The setup lock is the machine's own: a run that finds it held (75) waits and tries again.
install() {
  local folder=$1 log=$2 code
  for _ in $(seq 120); do
    rm -f "$log"
    code=0
    on "$folder" env STATE_DIRECTORY="$folder-state" LOGS_DIRECTORY="$folder-logs" \
      "$program" install --model RV-90 --port socket://127.0.0.1:9 --force --no-default \
      --setup-folder sample-setup --log "$log" >/dev/null 2>"$work/err" || code=$?
    [ "$code" -ne 75 ] && break
    sleep 1
  done
  [ "$code" -eq 0 ] || { echo "the install ended with $code:" >&2; cat "$work/err" >&2; exit 1; }
}

# gone_ms LOG: the milliseconds from the removal of the queue to the new one in a run's log.
gone_ms() {
  awk -v queue="$queue" '
    function ms(line) {
      match(line, /time="[0-9]+:[0-9]+:[0-9]+\.[0-9]+/)
      split(substr(line, RSTART + 6, RLENGTH - 6), t, /[:.]/)
      return ((t[1] * 60 + t[2]) * 60 + t[3]) * 1000 + t[4]
    }
    index($0, "Removed the queue " queue ".") { removed = ms($0) }
    index($0, "Made the queue " queue ".") { made = ms($0) }
    END {
      if (removed == "" || made == "") exit 1
      gone = made - removed
      if (gone < 0) gone += 24 * 3600 * 1000
      print gone
    }' "$1"
}

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# A first install on each makes the queue that the measured ones replace.
install "$few" "$work/log"
install "$many" "$work/log"
: >"$work/few.ms"
: >"$work/many.ms"
for run in $(seq "$runs"); do
  for side in few many; do
    folder=$few
    [ "$side" = many ] && folder=$many
    install "$folder" "$work/log"
    gone_ms "$work/log" >>"$work/$side.ms" ||
      { echo "no removal and new queue in the log:" >&2; cat "$work/log" >&2; exit 1; }
  done
  echo "run $run: $(tail -1 "$work/few.ms") ms with no other queue," \
    "$(tail -1 "$work/many.ms") ms with $others"
done
few_median=$(median <"$work/few.ms")
many_median=$(median <"$work/many.ms")
echo "median time without a queue, no other queue: $few_median ms"
echo "median time without a queue, $others other queues: $many_median ms"
awk -v a="$few_median" -v b="$many_median" \
  'BEGIN { if (a > 0) printf "ratio: %.2f\n", b / a; else print "ratio: no time to compare with" }'
