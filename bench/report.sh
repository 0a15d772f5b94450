#!/usr/bin/env bash
# Whole-process time of `quen report` on an AA template of 40 greetings of 30 s each
# (10 attendants of 4 greetings, speech from the example greeting), converted in both
# batch modes: 40 recordings and 160 data files to read, decode, draw and place (96 MB
# of audio, so it goes to a folder beside the page). Prints the median wall and CPU
# time and the slowest run in milliseconds (target: at most 1000 ms on two cores), and
# the peak memory of one such run (limit 128 MiB).
# Then the peak memory of one long recording named by 20 greetings (limit 256 MiB).
# Usage: bench/report.sh [build-dir] [runs]    (build/release and 5 runs by default)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/wav.sh
startBenchmark build/release 5 "$@"

mkdir recordings results
speech "$greeting" 31 >speech.raw
# Each recording starts 7 samples later than the one before: 40 distinct recordings, as
# a page keeps identical audio once.
skip=0
{
    echo '<zandorConfiguration><AutoAttendants>'
    for attendant in $(seq 10); do
        echo "<AutoAttendant><AAName>Desk $attendant</AAName><Extension>$attendant</Extension><Greetings>"
        for kind in morning afternoon evening menu; do
            skip=$((skip + 1))
            head -c $((480000 + 14 * skip)) speech.raw | tail -c 480000 |
                wav "recordings/$attendant-$kind.wav"
            echo "<Greeting id=\"$kind\"><RecordingName>$attendant-$kind.wav</RecordingName></Greeting>"
        done
        echo '</Greetings></AutoAttendant>'
    done
    echo '</AutoAttendants></zandorConfiguration>'
} >template.xml
"$program" /batch1:template.xml recordings results log1.txt
"$program" /batch2:template.xml recordings results log2.txt
report=("$quen" report -y --template template.xml --wav-dir recordings --result-dir results
        -o report.html)
"${report[@]}" >/dev/null  # warm the page cache

printf 'quen report, 40 greetings of 30 s in both modes (page %s bytes, audio %s), %s runs:\n' \
    "$(stat -c %s report.html)" "$(du -sh report-audio | cut -f1)" "$runs"
time_runs "$runs" 1000 "${report[@]}"
/usr/bin/time -f '%M' -o usage.txt "${report[@]}" >/dev/null
printf '  peak %s KiB (limit %s KiB)\n' "$(tail -n 1 usage.txt)" $((128 * 1024))
[ "$(tail -n 1 usage.txt)" -le $((128 * 1024)) ] || { echo "FAIL: over the limit" >&2; exit 1; }

# One 55-minute recording named by 20 greetings: read and written once (52.8 MB of
# audio beside the page), whatever the number of greetings; peak RSS by GNU time.
mkdir long-recordings
speech "$greeting" 3300 | wav long-recordings/long.wav
{
    echo '<zandorConfiguration><AutoAttendants><AutoAttendant><AAName>Desk</AAName><Greetings>'
    for id in $(seq 20); do
        echo "<Greeting id=\"$id\"><RecordingName>long.wav</RecordingName></Greeting>"
    done
    echo '</Greetings></AutoAttendant></AutoAttendants></zandorConfiguration>'
} >long.xml
/usr/bin/time -f '%M' -o usage.txt "$quen" report --template long.xml --wav-dir long-recordings \
    --result-dir results -o long.html >/dev/null || true
limitKib=$((256 * 1024))
printf 'quen report, one 55-minute recording in 20 greetings: peak %s KiB (limit %s KiB), audio %s\n' \
    "$(tail -n 1 usage.txt)" "$limitKib" "$(du -sh long-audio | cut -f1)"
[ "$(tail -n 1 usage.txt)" -le "$limitKib" ] || { echo "FAIL: over the limit" >&2; exit 1; }
[ "$(find long-audio -type f -name "*.wav" | wc -l)" -eq 1 ] || { echo "FAIL: audio written more than once" >&2; exit 1; }
