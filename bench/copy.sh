#!/usr/bin/env bash
# The 30-second A-law job against copying the same WAV file with dd and flushing it to
# disk, which is about the least any conversion that reads its recording and writes a
# durable file can cost. The ratio of their median times must be at most 1.5: both
# take a few milliseconds, and a mean moves with the odd run that another process delays.
# Usage: bench/copy.sh [build-dir] [runs]    (build/release and 200 runs by default)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/wav.sh
startBenchmark build/release 200 "$@"

speech "$greeting" 30 | wav in.wav
hyperfine -N --warmup 5 --runs "$runs" --export-json times.json \
    "dd if=in.wav of=copy.wav bs=1M conv=fsync status=none" \
    "$program /convert:in.wav box rec g711 out.c11 log.txt" >/dev/null
read -r copyMs jobMs < <(python3 -c '
import json, sys
results = json.load(open("times.json"))["results"]
print(" ".join(str(r["median"] * 1000) for r in results))')
ratio=$(python3 -c "print(f'{$jobMs / $copyMs:.2f}')")
printf 'dd copy with fsync: %.2f ms (median)\n30-second A-law job: %.2f ms (median)\nratio: %s (limit 1.5)\n' \
    "$copyMs" "$jobMs" "$ratio"
python3 -c "import sys; sys.exit(0 if $ratio <= 1.5 else 1)" ||
    { echo "FAIL: the job takes more than 1.5 times the copy" >&2; exit 1; }
