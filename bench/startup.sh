#!/usr/bin/env bash
# Whole-process cost of a job's start-up: a G.711 job on a 30-second recording, a
# G.723.1 job on an empty recording (which still opens a stream, so it loads the codec
# module and libavcodec) and a program that does nothing. Then the dynamic loader's own
# trace shows which of the two jobs loads libavcodec.
# Usage: bench/startup.sh [build-dir] [runs]    (build/bench and 200 runs by default)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/wav.sh
startBenchmark build/bench 200 "$@"

# 30 s of a 100 Hz tone, and no samples at all.
LC_ALL=C awk 'BEGIN {
    for (i = 0; i < 240000; i++) {
        s = int(8000 * sin(i * 0.0785398)); if (s < 0) s += 65536
        printf "%c%c", s % 256, int(s / 256)
    }
}' | wav speech.wav
wav empty.wav </dev/null
[ "$(stat -c %s speech.wav)" -eq 480044 ] || { echo "speech.wav has the wrong size" >&2; exit 1; }

g711=("$program" /convert:speech.wav box rec g711 out.c11 log711.txt)
g723=("$program" /convert:empty.wav box rec g723 out.c23 log723.txt)
nothing=(/bin/true)

# Mean wall time of one run, in milliseconds, over $runs runs after 10 warm-up runs.
measure() {
    local label=$1
    shift
    "$@" >/dev/null || { echo "$label: exit code $?" >&2; exit 1; }
    for ((i = 0; i < 10; i++)); do "$@" >/dev/null; done
    local start end
    start=$(date +%s%N)
    for ((i = 0; i < runs; i++)); do "$@" >/dev/null; done
    end=$(date +%s%N)
    awk -v label="$label" -v ns=$((end - start)) -v runs="$runs" \
        'BEGIN { printf "%-40s %8.2f ms per run\n", label, ns / runs / 1e6 }'
}

echo "$runs runs each, $(nproc) cores"
measure "do-nothing program (/bin/true)" "${nothing[@]}"
measure "G.711 job, 30 s recording" "${g711[@]}"
measure "G.723.1 job, empty recording" "${g723[@]}"

# The loader names every object it loads, and who wanted it, on standard error when
# LD_DEBUG=files.
loads_libavcodec() {
    LD_DEBUG=files "$@" 2>loader.txt >/dev/null
    grep -q 'file=libavcodec\.so' loader.txt
}
if loads_libavcodec "${g711[@]}"; then
    echo "FAIL: the G.711 job loaded libavcodec" >&2
    exit 1
fi
echo "G.711 job: libavcodec not loaded"
if ! loads_libavcodec "${g723[@]}"; then
    echo "FAIL: the G.723.1 job did not load libavcodec" >&2
    exit 1
fi
echo "G.723.1 job: libavcodec loaded, the loader says:"
grep -E 'file=[^ ]*(quen_g723|libavcodec)[^ ]* .*(loaded|needed) by' loader.txt |
    sed 's/^[[:space:]]*[0-9]*:[[:space:]]*/    /'
