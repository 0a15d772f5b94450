#!/usr/bin/env bash
# What a conversion costs in memory and time, whole process, by /usr/bin/time -v: a
# refused 1 GB recording (stereo: refused from its format chunk, which is all that is
# read), a 60-minute G.711 job, a 60-minute G.723.1 job and a WAV of the largest
# accepted size (2 GiB, sparse). The conversion streams, so every peak must stay under
# 16 MiB whatever the recording's length.
# Usage: bench/memory.sh [build-dir]    (build/release by default)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/wav.sh
startBenchmark build/release "" "$@"
limitKib=$((16 * 1024))

# A header for $1 data bytes of the given channel count and rate, then a sparse file
# that long.
sparseWav() {
    local file=$1 dataBytes=$2 channels=$3 rate=$4
    local align=$((2 * channels))
    {
        printf 'RIFF'
        printf "$(le32 $((dataBytes + 36)))"
        printf 'WAVEfmt '
        printf "$(le32 16)\\x01\\x00\\x$(printf %02x "$channels")\\x00"
        printf "$(le32 "$rate")$(le32 $((rate * align)))\\x$(printf %02x "$align")\\x00\\x10\\x00"
        printf 'data'
        printf "$(le32 "$dataBytes")"
    } >"$file"
    truncate -s $((dataBytes + 44)) "$file"
}

sparseWav refused.wav $((1000000000 - 44)) 2 44100
# The largest RIFF size accepted is 2^31 - 1.
sparseWav largest.wav $((2147483647 - 36)) 1 8000
speech "$greeting" 3600 | wav sixty-minutes.wav

# Peak RSS in KiB and wall time in ms of one run of the arguments.
measure() {
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%M' -o usage.txt "$@" >/dev/null || true
    end=$(date +%s%N)
    echo "$(tail -n 1 usage.txt) $(((end - start) / 1000000))"
}

failed=0
# Runs one job; $1 names it, $2 is its limit in KiB, $3 the data file it must leave,
# the rest the command. Its peak is left in $peak.
job() {
    local name=$1 limit=$2 out=$3
    shift 3
    local ms
    read -r peak ms < <(measure "$program" "$@")
    printf '%-26s %8s ms, peak %6s KiB (limit %s KiB)\n' "$name:" "$ms" "$peak" "$limit"
    if [ -n "$out" ] && [ ! -e "$out" ]; then
        echo "FAIL: $name left no data file" >&2
        failed=1
    fi
    [ "$peak" -le "$limit" ] || { echo "FAIL: $name is over the limit" >&2; failed=1; }
    rm -f "$out"
}

wav empty.wav </dev/null
job "refused 1 GB recording" "$limitKib" "" /convert:refused.wav b r g711 r.cxx r.log
grep -q 'Cannot process multi-channel data' r.log || { echo "FAIL: not refused" >&2; exit 1; }
job "60-minute G.711 job" "$limitKib" g711.cxx /convert:sixty-minutes.wav b r g711 g711.cxx g711.log
job "2 GiB G.711 job" "$limitKib" largest.cxx /convert:largest.wav b r g711 largest.cxx largest.log
# A G.723.1 job holds what libavcodec's encoder needs, whatever the recording's length:
# the 60-minute job stays within 256 KiB of an empty one. One run's peak varies by some
# 400 KiB from run to run, so each job runs five times, interleaved, and the medians
# are compared.
emptyPeaks=()
longPeaks=()
for _ in 1 2 3 4 5; do
    job "empty G.723.1 job" "$((limitKib * 2))" empty.cxx /convert:empty.wav b r g723 empty.cxx e.log
    emptyPeaks+=("$peak")
    job "60-minute G.723.1 job" "$((limitKib * 2))" g723.cxx \
        /convert:sixty-minutes.wav b r g723 g723.cxx g723.log
    longPeaks+=("$peak")
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
emptyMedian=$(median "${emptyPeaks[@]}")
longMedian=$(median "${longPeaks[@]}")
printf 'G.723.1 medians: empty %s KiB, 60 minutes %s KiB: %s KiB more (limit 256 KiB)\n' \
    "$emptyMedian" "$longMedian" "$((longMedian - emptyMedian))"
[ $((longMedian - emptyMedian)) -le 256 ] || { echo "FAIL: the G.723.1 job grows" >&2; failed=1; }
exit "$failed"
