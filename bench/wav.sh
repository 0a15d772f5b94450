# Shell helpers the whole-process benchmarks share: making 8 kHz 16-bit mono WAV files,
# and timing a command over several runs.
# Source it; nothing runs on its own.

# The four bytes of $1 as a little-endian 32-bit integer.
le32() {
    printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) \
        $(($1 >> 16 & 255)) $(($1 >> 24 & 255))
}

# A WAV file $1 of 8 kHz 16-bit mono PCM whose samples come from standard input.
wav() {
    local data
    data=$(mktemp -p .)
    cat >"$data"
    local bytes
    bytes=$(stat -c %s "$data")
    {
        printf 'RIFF'
        printf "$(le32 $((36 + bytes)))"
        printf 'WAVEfmt '
        printf "$(le32 16)\\x01\\x00\\x01\\x00$(le32 8000)$(le32 16000)\\x02\\x00\\x10\\x00"
        printf 'data'
        printf "$(le32 "$bytes")"
        cat "$data"
    } >"$1"
    rm "$data"
}

# $2 seconds of speech-like samples on standard output: the bundled greeting's samples
# (after its 44-byte header), repeated and cut.
speech() {
    local greeting=$1 seconds=$2
    local bytes=$((seconds * 16000))
    # The loop ends when head has had enough and tail's write fails.
    while tail -c +45 "$greeting" 2>/dev/null; do :; done | head -c "$bytes"
}

# An AA template $1 of $2 attendants with the four greetings each, every recording a
# copy of the WAV file $3 in the directory $4, named ATTENDANT-KIND.wav.
aaTemplate() {
    local template=$1 attendants=$2 recording=$3 directory=$4
    {
        echo '<zandorConfiguration><AutoAttendants>'
        for a in $(seq 1 "$attendants"); do
            echo "<AutoAttendant><AAName>Desk $a</AAName><Greetings>"
            for kind in morning afternoon evening menu; do
                cp "$recording" "$directory/$a-$kind.wav"
                echo "<Greeting id=\"$kind\"><RecordingName>$a-$kind.wav</RecordingName></Greeting>"
            done
            echo '</Greetings></AutoAttendant>'
        done
        echo '</AutoAttendants></zandorConfiguration>'
    } >"$template"
}

# What every benchmark starts with, after its usage line's arguments (build directory,
# runs) and their defaults: $build, $runs, the programs as $program (QuenGreeting) and
# $quen, the example as $greeting, all absolute; then a scratch directory that goes away
# when the script ends, entered.
startBenchmark() {
    local defaultBuild=$1 defaultRuns=$2
    shift 2
    build=${1:-$defaultBuild}
    runs=${2:-$defaultRuns}
    program=$(realpath "$build/QuenGreeting")
    quen=$(realpath "$build/quen")
    greeting=$(realpath examples/greeting.wav)
    work=$(mktemp -d)
    trap 'rm -rf "$work"' EXIT
    cd "$work"
}

# Runs the command after $1 (runs) and $2 (target in ms) that many times and prints its
# median wall and CPU time and its slowest run. Wall time is what a person waits; CPU
# time (user + system) shows the cost apart from other load on the machine.
time_runs() {
    local runs=$1 target=$2
    shift 2
    local times
    times=$(mktemp -p .)
    TIMEFORMAT='%3R %3U %3S'
    for _ in $(seq "$runs"); do
        { time "$@" >/dev/null; } 2>>"$times"
    done
    local median="sort -n | sed -n $((runs / 2 + 1))p"
    local wall cpu slowest
    wall=$(awk '{ print $1 * 1000 }' "$times" | eval "$median")
    cpu=$(awk '{ print ($2 + $3) * 1000 }' "$times" | eval "$median")
    slowest=$(awk '{ print $1 * 1000 }' "$times" | sort -n | tail -n 1)
    printf '  wall median %s ms (slowest %s ms), CPU median %s ms; target: under %s ms\n' \
        "$wall" "$slowest" "$cpu" "$target"
}
