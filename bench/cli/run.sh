#!/usr/bin/env bash
# Figures of the command line against the virtual supply (native build):
#  - status: wall time against the 3,100 ms of waits the protocol mandates (2,700 ms for the
#    connection, 400 ms for the monitoring block);
#  - monitor --interval 1 --count 60: each poll's distance from its one-second slot, and the
#    drift of the last poll over the minute.
# Usage: bench/cli/run.sh [path/to/brenvik]   (default: build/native/cli/brenvik)
set -euo pipefail

brenvik=${1:-build/native/cli/brenvik}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export BRENVIK_VSUPPLY_STATE=none

runs=5
total=0
for _ in $(seq "$runs"); do
  start=$(date +%s%N)
  "$brenvik" --virtual status >/dev/null
  end=$(date +%s%N)
  total=$((total + (end - start) / 1000))
done
awk -v us="$total" -v n="$runs" 'BEGIN {
  ms = us / n / 1000
  printf "status: %.1f ms wall time (mean of %d), mandated waits 3100 ms, overhead %.2f%%\n",
         ms, n, (ms - 3100) / 3100 * 100 }'

"$brenvik" --virtual monitor --interval 1 --count 60 --csv "$work/poll.csv" >/dev/null
# Seconds of the day with milliseconds, from each row's ISO 8601 time.
tail -n +2 "$work/poll.csv" | cut -d, -f1 | awk -F'[T:Z]' '
  { t = $2 * 3600 + $3 * 60 + $4; if (NR == 1) first = t
    off = (t - first - (NR - 1)) * 1000; if (off < 0) off = -off
    if (off > worst) worst = off; last = t }
  END { printf "monitor: %d polls, worst distance from slot %.1f ms, drift over the run %.1f ms\n",
               NR, worst, (last - first - (NR - 1)) * 1000 }'
