#!/usr/bin/env bash
# What a conversion costs in memory and time, whole process, by /usr/bin/time -v:
# a refused 1 GB recording (stereo: refused from its format chunk, which is all that
# is read) and a 10-minute G.711 job, whose peak must stay within the WAV's size plus
# 16 MiB (the file and its compressed stream; the packets are written from the stream).
# Usage: bench/memory.sh [build-dir]    (build/release by default)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/wav.sh
build=${1:-build/release}
program=$(realpath "$build/QuenGreeting")
greeting=$(realpath examples/greeting.wav)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# 1 GB: a stereo 44.1 kHz header and a sparse data chunk.
{
    printf 'RIFF'
    printf "$(le32 $((1000000000 - 8)))"
    printf 'WAVEfmt '
    printf "$(le32 16)\\x01\\x00\\x02\\x00$(le32 44100)$(le32 176400)\\x04\\x00\\x10\\x00"
    printf 'data'
    printf "$(le32 $((1000000000 - 44)))"
} >refused.wav
truncate -s 1000000000 refused.wav
speech "$greeting" 600 | wav ten-minutes.wav

# Peak RSS in KiB and wall time in ms of one run of the arguments.
measure() {
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f '%M' -o usage.txt "$@" >/dev/null || true
    end=$(date +%s%N)
    echo "$(tail -n 1 usage.txt) $(((end - start) / 1000000))"
}

read -r refusedKib refusedMs < <(measure "$program" /convert:refused.wav b r g711 r.cxx r.log)
grep -q 'Cannot process multi-channel data' r.log || { echo "FAIL: not refused" >&2; exit 1; }
read -r jobKib jobMs < <(measure "$program" /convert:ten-minutes.wav b r g711 t.cxx t.log)
[ -s t.cxx ] || { echo "FAIL: no data file" >&2; exit 1; }
wavKib=$(($(stat -c %s ten-minutes.wav) / 1024))
limitKib=$((wavKib + 16 * 1024))
echo "refused 1 GB recording:  ${refusedMs} ms, peak ${refusedKib} KiB (limits 50 ms, 16384 KiB)"
echo "10-minute G.711 job:     ${jobMs} ms, peak ${jobKib} KiB (WAV ${wavKib} KiB; limit ${limitKib} KiB)"
[ "$refusedKib" -le 16384 ] && [ "$refusedMs" -le 50 ] && [ "$jobKib" -le "$limitKib" ] ||
    { echo "FAIL: over a limit" >&2; exit 1; }
