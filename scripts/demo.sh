#!/usr/bin/env bash
# Installs what is missing, builds the program and the companion command `quen` (preset
# "program": no tests, its own build folder), runs the conversion jobs on the bundled
# examples and shows one `quen prepare`, `quen check` and `quen inspect`, writing into
# build/demo/. Commands are printed shell-quoted and everything else as "#" comments,
# so any printed line can be pasted into a shell as it stands.
set -uo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh || exit 1
cmake --preset program >/dev/null || exit 1
# Only what the demo runs: the program, its codec module and the companion command.
cmake --build --preset program -j"$(nproc)" --target QuenGreeting quen_g723 quen || exit 1

bin=$PWD/build/program/QuenGreeting
quen=$PWD/build/program/quen
examples=$PWD/examples
out=$PWD/build/demo
rm -rf "$out"
mkdir -p "$out"

show() {
    printf '%q' "$1"
    shift
    [ $# -eq 0 ] || printf ' %q' "$@"
    echo
}

status=0
job() {
    local log=$1
    shift
    show "$bin" "$@"
    # The message job's console line has NUL bytes and no line end: show them as ^@.
    "$bin" "$@" | cat -v | sed 's/^/# /'
    local code=${PIPESTATUS[0]}
    echo
    echo "# exit code $code; $log:"
    sed 's/^/#     /' "$log" 2>/dev/null
    [ "$code" -eq 0 ] || status=1
}

show cd "$out"
cd "$out" || exit 1
job greeting-g711.log "/convert:$examples/greeting.wav" "Front Desk" "Welcome" g711 greeting.cxx greeting-g711.log
job greeting-g723.log "/convert:$examples/greeting.wav" "Front Desk" "Welcome" g723 greeting23.cxx greeting-g723.log
job message.log "/convertMsg:$examples/greeting.wav" 1001 "+15551234567" "Front desk" ulaw Y N 12 0 message.cxx message.log
echo
show mkdir -p batch1 batch2
mkdir -p batch1 batch2
job batch1.log "/batch1:$examples/aa-template.xml" "$examples/recordings" batch1 batch1.log
job batch2.log "/batch2:$examples/aa-template.xml" "$examples/recordings" batch2 batch2.log

# The companion command: a phone recording (44.1 kHz stereo, as a phone's recorder
# makes it) prepared into what QuenGreeting takes, checked, and a data file inspected.
tool() {
    show "$quen" "$@"
    "$quen" "$@" 2>&1 | sed 's/^/# /'
    local code=${PIPESTATUS[0]}
    echo "# exit code $code"
    [ "$code" -eq 0 ] || status=1
}
echo
show ffmpeg -v error -i "$examples/greeting.wav" -ar 44100 -ac 2 greeting-phone.wav
ffmpeg -nostdin -v error -i "$examples/greeting.wav" -ar 44100 -ac 2 greeting-phone.wav || status=1
tool prepare greeting-phone.wav greeting-prepared.wav
tool check greeting-prepared.wav
tool inspect greeting.cxx

echo
echo "# Data files in $out:"
find . -type f \( -name '*.cxx' -o -name '*.c23' -o -name '*.c11' \) -printf '%10s  %p\n' | sort -k2 | sed 's/^/#/'
exit $status
