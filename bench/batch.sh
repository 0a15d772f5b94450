#!/usr/bin/env bash
# Whole-process batch conversion on every core against the same run on one core
# (taskset -c 0 leaves the process one CPU, so it converts sequentially): a template
# of 40 greetings of 30 s each, both modes' work (G.723.1 and A-law per greeting).
# Prints both wall times and their ratio; the two runs' logs must be identical.
# Usage: bench/batch.sh [build-dir] [runs]    (build/release and 3 runs by default)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/wav.sh
startBenchmark build/release 3 "$@"

mkdir rec one all
speech "$greeting" 30 | wav first.wav
aaTemplate aa.xml 10 first.wav rec

# Best wall time of $runs runs, in seconds.
best() {
    local out=$1 fastest=""
    shift
    for ((i = 0; i < runs; i++)); do
        local start end
        start=$(date +%s%N)
        "$@" /batch1:aa.xml rec "$out" "$out.log"
        end=$(date +%s%N)
        local seconds
        seconds=$(awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }')
        if [ -z "$fastest" ] || awk -v a="$seconds" -v b="$fastest" 'BEGIN { exit !(a < b) }'; then
            fastest=$seconds
        fi
    done
    echo "$fastest"
}

sequential=$(best one taskset -c 0 "$program")
parallel=$(best all "$program")
cmp <(sed 's|"one/|"out/|' one.log) <(sed 's|"all/|"out/|' all.log) || { echo "FAIL: the two runs logged differently" >&2; exit 1; }
echo "40 greetings of 30 s, $(nproc) CPUs, best of $runs:"
echo "  one core:   ${sequential} s"
echo "  every core: ${parallel} s"
awk -v s="$sequential" -v p="$parallel" 'BEGIN { printf "  speed-up:   %.2fx\n", s / p }'
