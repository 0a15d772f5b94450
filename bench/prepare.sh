#!/usr/bin/env bash
# Whole-process timings of the recording tools against what a user would otherwise run:
# `quen prepare` of a 10-minute 44.1 kHz stereo MP3 against
# `ffmpeg -i IN -ar 8000 -ac 1 -c:a pcm_s16le OUT.wav` (which does no loudness pass;
# the target is at most its time); `quen prepare --template` of a template of
# 20 recordings in five formats against the same 20 prepared one command after another
# (the target is at least 1.7 times faster on two cores); and `quen check` of a
# 100-greeting AA template with its recordings (the target is under 1 s). Compared runs
# alternate, best of $runs each, so both see the same machine load.
# Usage: bench/prepare.sh [build-dir] [runs]    (build/release and 5 runs by default)
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/wav.sh
scripts/install-deps.sh
startBenchmark build/release 5 "$@"

# Ten minutes of speech-like sound: voiced bursts of a few harmonics at syllable rate,
# pauses between phrases, a different voice on each side, under faint pink noise.
ffmpeg -nostdin -hide_banner -loglevel error \
    -f lavfi -i "aevalsrc=0.2*gt(sin(2*PI*0.7*t)\,-0.3)*(0.5+0.5*sin(2*PI*4*t))*(sin(2*PI*140*t)+0.5*sin(2*PI*420*t)+0.2*sin(2*PI*1100*t))|0.18*gt(sin(2*PI*0.6*t)\,-0.2)*(0.5+0.5*sin(2*PI*5*t))*(sin(2*PI*210*t)+0.4*sin(2*PI*630*t)+0.2*sin(2*PI*1500*t)):s=44100:d=600" \
    -f lavfi -i "anoisesrc=c=pink:r=44100:a=0.005:d=600" \
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
    best_quen=$(min "$(seconds_of "$quen" prepare -y long.mp3 quen.wav)" "$best_quen")
    best_ffmpeg=$(min "$(seconds_of ffmpeg -nostdin -loglevel error -y -i long.mp3 -ar 8000 -ac 1 \
        -c:a pcm_s16le ffmpeg.wav)" "$best_ffmpeg")
done

# Twenty recordings of 30 s in five formats, named .wav in the template.
mkdir raw
ffmpeg -nostdin -v error -f lavfi \
    -i "aevalsrc=0.2*gt(sin(2*PI*0.7*t)\,-0.3)*(0.5+0.5*sin(2*PI*4*t))*(sin(2*PI*140*t)+0.5*sin(2*PI*420*t)):s=44100:d=30" \
    -ac 2 source.wav
formats=(mp3 flac ogg m4a wav)
count=0
{
    echo '<zandorConfiguration><AutoAttendants>'
    for a in $(seq 0 4); do
        echo "<AutoAttendant><AAName>Desk $a</AAName><Greetings>"
        for kind in morning afternoon evening menu; do
            name="$a-$kind"
            ffmpeg -nostdin -v error -i source.wav "raw/$name.${formats[$((count % 5))]}"
            count=$((count + 1))
            echo "<Greeting id=\"$kind\"><RecordingName>$name.wav</RecordingName></Greeting>"
        done
        echo '</Greetings></AutoAttendant>'
    done
    echo '</AutoAttendants></zandorConfiguration>'
} >twenty.xml
one_at_a_time() {
    for source in raw/*; do
        local stem=${source##*/}
        "$quen" prepare -q -y "$source" "one/${stem%.*}.wav"
    done
}
mkdir one wav
best_template=""
best_single=""
for ((i = 0; i < runs; i++)); do
    best_template=$(min "$(seconds_of "$quen" prepare -q -y --template twenty.xml --from raw --wav-dir wav)" "$best_template")
    best_single=$(min "$(seconds_of one_at_a_time)" "$best_single")
done

mkdir rec
speech "$greeting" 30 | wav first.wav
aaTemplate aa.xml 25 first.wav rec
best_check=""
for ((i = 0; i < runs; i++)); do
    best_check=$(min "$(seconds_of "$quen" check --template aa.xml --wav-dir rec)" "$best_check")
done

echo "quen prepare, 10-minute 44.1 kHz stereo MP3, best of $runs:"
echo "  quen prepare: ${best_quen} s"
echo "  ffmpeg:       ${best_ffmpeg} s"
awk -v q="$best_quen" -v f="$best_ffmpeg" 'BEGIN { printf "  ratio:        %.2fx (target at most 1.00x)\n", q / f }'
echo "quen prepare --template, 20 recordings of 30 s in five formats, best of $runs:"
echo "  --template:      ${best_template} s"
echo "  one at a time:   ${best_single} s"
awk -v t="$best_template" -v s="$best_single" 'BEGIN { printf "  speed-up:        %.2fx (target at least 1.70x on two cores)\n", s / t }'
echo "quen check --template, 100 greetings of 30 s, both modes, best of $runs: ${best_check} s (target under 1 s)"
