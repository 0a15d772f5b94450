#!/usr/bin/env bash
# Whole-process timings of the recording tools against what a user would otherwise run:
# `quen prepare` of a 10-minute 44.1 kHz stereo MP3 against
# `ffmpeg -i IN -ar 8000 -ac 1 -c:a pcm_s16le OUT.wav` (which does no loudness pass;
# the target is at most 1.2 times its time), and `quen check` of a 100-greeting AA
# template with its recordings (the target is under 1 s). The two conversions run
# alternately, best of $runs each, so both see the same machine load.
# Usage: bench/prepare.sh [build-dir] [runs]    (build/release and 5 runs by default)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/wav.sh
build=${1:-build/release}
runs=${2:-5}
quen=$(realpath "$build/quen")
greeting=$(realpath examples/greeting.wav)
scripts/install-deps.sh
enterScratchDirectory

# Ten minutes of a gliding tone under pink noise, a different mix on each side.
ffmpeg -nostdin -hide_banner -loglevel error \
    -f lavfi -i "aevalsrc=0.2*sin(2*PI*(300+100*sin(2*PI*0.5*t))*t)|0.15*sin(2*PI*440*t):s=44100:d=600" \
    -f lavfi -i "anoisesrc=c=pink:r=44100:a=0.05:d=600" \
    -filter_complex "[1]asplit[n1][n2];[n1][n2]join=inputs=2:channel_layout=stereo[n];[0][n]amix=inputs=2:normalize=0" \
    -c:a libmp3lame -b:a 128k long.mp3

seconds_of() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    awk -v ns=$((end - start)) 'BEGIN { printf "%.3f", ns / 1e9 }'
}
min() { awk -v a="$1" -v b="$2" 'BEGIN { print (b == "" || a < b) ? a : b }'; }

best_quen=""
best_ffmpeg=""
for ((i = 0; i < runs; i++)); do
    best_quen=$(min "$(seconds_of "$quen" prepare long.mp3 quen.wav)" "$best_quen")
    best_ffmpeg=$(min "$(seconds_of ffmpeg -nostdin -loglevel error -y -i long.mp3 -ar 8000 -ac 1 \
        -c:a pcm_s16le ffmpeg.wav)" "$best_ffmpeg")
done

mkdir rec
speech "$greeting" 30 | wav rec/first.wav
{
    echo '<zandorConfiguration><AutoAttendants>'
    for a in $(seq 1 25); do
        echo "<AutoAttendant><AAName>Desk $a</AAName><Greetings>"
        for kind in morning afternoon evening menu; do
            cp rec/first.wav "rec/$a-$kind.wav"
            echo "<Greeting id=\"$kind\"><RecordingName>$a-$kind.wav</RecordingName></Greeting>"
        done
        echo '</Greetings></AutoAttendant>'
    done
    echo '</AutoAttendants></zandorConfiguration>'
} >aa.xml
rm rec/first.wav
best_check=""
for ((i = 0; i < runs; i++)); do
    best_check=$(min "$(seconds_of "$quen" check --template aa.xml --wav-dir rec)" "$best_check")
done

echo "quen prepare, 10-minute 44.1 kHz stereo MP3, best of $runs:"
echo "  quen prepare: ${best_quen} s"
echo "  ffmpeg:       ${best_ffmpeg} s"
awk -v q="$best_quen" -v f="$best_ffmpeg" 'BEGIN { printf "  ratio:        %.2fx (target at most 1.20x)\n", q / f }'
echo "quen check --template, 100 greetings of 30 s, both modes, best of $runs: ${best_check} s (target under 1 s)"
