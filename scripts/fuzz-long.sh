#!/usr/bin/env bash
# Runs every fuzz target long and prints, per target, the executions made and the crashes found.
# Usage: scripts/fuzz-long.sh [executions per target (10000000)] [seconds cap per target (3600)]
#                             [target names (all)]
# Inputs found go to build/fuzz-long/<target>/corpus, crash inputs to build/fuzz-long/<target>/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
runs="${1:-10000000}"
cap="${2:-3600}"
shift $(($# < 2 ? $# : 2))

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${BRENVIK_JOBS:-2}" >/dev/null

printf '%-16s %14s %8s %8s\n' target executions seconds crashes
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for binary in build/fuzz/tests/fuzz/*_fuzz; do
        targets+=("$(basename "$binary" _fuzz)")
    done
fi
for name in "${targets[@]}"; do
    binary="build/fuzz/tests/fuzz/${name}_fuzz"
    out="build/fuzz-long/$name"
    mkdir -p "$out/corpus"
    rm -f "$out"/crash-* "$out"/leak-* "$out"/timeout-*
    start=$(date +%s)
    # Failures are counted below from the files libFuzzer leaves; -fork keeps it going after one.
    "$binary" -runs="$runs" -max_total_time="$cap" -timeout=10 -rss_limit_mb=1024 \
        -print_final_stats=1 -artifact_prefix="$out/" "$out/corpus" "tests/fuzz/corpus/$name" \
        >"$out/log.txt" 2>&1 || true
    seconds=$(($(date +%s) - start))
    executions=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$out/log.txt" | grep -o '[0-9]*$' || echo 0)
    crashes=$(find "$out" -maxdepth 1 \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \) | wc -l)
    printf '%-16s %14s %8s %8s\n' "$name" "${executions:-0}" "$seconds" "$crashes"
done
