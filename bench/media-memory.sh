#!/usr/bin/env bash
# What `quen prepare` costs in memory, whole process, by /usr/bin/time: a 2-hour FLAC
# of silence (1.3 MB on disk) prepared with --max-seconds 1 must peak under 64 MiB,
# since decoding stops at the limit. Prepared whole (57.6 million output samples), it
# may cost 4 bytes per output sample (the decoded floats; the 16-bit output replaces
# them block by block) and one 4 MiB block above what the process needs for anything:
# the peak of a refused run, about 34 MiB of libraries and start-up, which is what the
# 32 MiB of the budget stand for. A FLAC whose header claims 2^36-1 samples and a 1 Hz
# WAV bomb must be refused under 64 MiB.
# Usage: bench/media-memory.sh [build-dir]    (build/release by default)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/wav.sh
startBenchmark build/release "" "$@"

ffmpeg -nostdin -v error -f lavfi -i "anullsrc=r=44100:cl=mono" -t 7200 -c:a flac long.flac
ffmpeg -nostdin -v error -f lavfi -i "sine=f=440:r=16000:d=1" -c:a flac claim.flac
# STREAMINFO's total-samples field, the low 4 bits of byte 21 and bytes 22-25, all ones.
printf '\x0f' | dd of=claim.flac bs=1 seek=21 conv=notrunc status=none
printf '\xff\xff\xff\xff' | dd of=claim.flac bs=1 seek=22 conv=notrunc status=none
# 200 KB of 8-bit samples at 1 Hz: 55 hours of output, were it decoded.
{
    printf "RIFF$(le32 200036)WAVEfmt $(le32 16)\\x01\\x00\\x01\\x00$(le32 1)$(le32 1)"
    printf "\\x01\\x00\\x08\\x00data$(le32 200000)"
    head -c 200000 /dev/zero | tr '\0' '\200'
} >bomb.wav

# Peak RSS in KiB of one run of the arguments, and its exit code.
measure() {
    local code=0
    /usr/bin/time -q -f '%M' -o usage.txt "$@" >/dev/null 2>&1 || code=$?
    echo "$(tail -n 1 usage.txt) $code"
}

limit=$((64 * 1024))
read -r cutKib cutCode < <(measure "$quen" prepare --max-seconds 1 long.flac cut.wav)
read -r wholeKib wholeCode < <(measure "$quen" prepare long.flac whole.wav)
read -r claimKib claimCode < <(measure "$quen" prepare claim.flac claim.wav)
read -r bombKib bombCode < <(measure "$quen" prepare bomb.wav bomb.wav.out)
budgetKib=$((bombKib + 4 * 1024 + 4 * 7200 * 8000 / 1024))
echo "2-hour FLAC, --max-seconds 1:  peak ${cutKib} KiB, exit ${cutCode} (limit ${limit} KiB, exit 0)"
echo "2-hour FLAC, whole:            peak ${wholeKib} KiB, exit ${wholeCode} (start-up + 4 MiB + 4 B a sample: ${budgetKib} KiB)"
echo "FLAC claiming 2^36-1 samples:  peak ${claimKib} KiB, exit ${claimCode} (limit ${limit} KiB, exit 1)"
echo "200 KB WAV at 1 Hz:            peak ${bombKib} KiB, exit ${bombCode} (limit ${limit} KiB, exit 1)"
[ "$cutKib" -le "$limit" ] && [ "$cutCode" -eq 0 ] &&
    [ "$wholeKib" -le "$budgetKib" ] && [ "$wholeCode" -eq 0 ] &&
    [ "$claimKib" -le "$limit" ] && [ "$claimCode" -eq 1 ] &&
    [ "$bombKib" -le "$limit" ] && [ "$bombCode" -eq 1 ] ||
    { echo "FAIL: over a limit or a wrong exit code" >&2; exit 1; }
