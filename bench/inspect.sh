#!/usr/bin/env bash
# Whole-process time of `quen inspect --wav` on a 10-minute A-law greeting: the file
# read, the packet check, the decoding, the levels and the atomic WAV write. The
# recording is the example greeting repeated to 600 s, converted by QuenGreeting.
# Prints the median wall and CPU time and the slowest run in milliseconds (target:
# under 100 ms).
# Usage: bench/inspect.sh [build-dir] [runs]    (build/release and 20 runs by default)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/wav.sh
build=${1:-build/release}
runs=${2:-20}
program=$(realpath "$build/QuenGreeting")
tool=$(realpath "$build/quen")
greeting=$(realpath examples/greeting.wav)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

speech "$greeting" 600 | wav ten-minutes.wav
"$program" /convert:ten-minutes.wav "Main Desk" AM_greeting alaw ten-minutes.cxx log.txt
"$tool" inspect ten-minutes.cxx --wav out.wav -y >/dev/null  # warm the page cache

# Wall time is what a person waits; CPU time (user + system) shows the cost apart from
# other load on the machine.
TIMEFORMAT='%3R %3U %3S'
for _ in $(seq "$runs"); do
    { time "$tool" inspect ten-minutes.cxx --wav out.wav -y >/dev/null; } 2>>times.txt
done
median() { sort -n | sed -n "$((runs / 2 + 1))p"; }
wall=$(awk '{ print $1 * 1000 }' times.txt | median)
cpu=$(awk '{ print ($2 + $3) * 1000 }' times.txt | median)
slowest=$(awk '{ print $1 * 1000 }' times.txt | sort -n | tail -n 1)
printf 'quen inspect --wav, 10-minute A-law file (%s bytes), %s runs:\n' \
    "$(stat -c %s ten-minutes.cxx)" "$runs"
printf '  wall median %s ms (slowest %s ms), CPU median %s ms; target: under 100 ms\n' \
    "$wall" "$slowest" "$cpu"
