#!/usr/bin/env bash
# Whole-process time of `quen inspect --wav` on a 10-minute A-law greeting: the file
# read, the packet check, the decoding, the levels and the atomic WAV write. The
# recording is the example greeting repeated to 600 s, converted by QuenGreeting.
# Prints the median wall and CPU time and the slowest run in milliseconds (target:
# at most 100 ms).
# Usage: bench/inspect.sh [build-dir] [runs]    (build/release and 20 runs by default)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/wav.sh
startBenchmark build/release 20 "$@"

speech "$greeting" 600 | wav ten-minutes.wav
"$program" /convert:ten-minutes.wav "Main Desk" AM_greeting alaw ten-minutes.cxx log.txt
"$quen" inspect ten-minutes.cxx --wav out.wav -y >/dev/null  # warm the page cache

printf 'quen inspect --wav, 10-minute A-law file (%s bytes), %s runs:\n' \
    "$(stat -c %s ten-minutes.cxx)" "$runs"
time_runs "$runs" 100 "$quen" inspect ten-minutes.cxx --wav out.wav -y
