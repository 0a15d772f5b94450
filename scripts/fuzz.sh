#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
# Usage: scripts/fuzz.sh [seconds per target, default 30]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}

scripts/install-deps.sh
if ! command -v clang++ >/dev/null ||
    ! dpkg-query -W -f='${Status}' libclang-rt-14-dev 2>/dev/null | grep -q 'ok installed'; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        clang libclang-rt-14-dev
fi

cmake --preset fuzz >/dev/null
# The targets, the program that writes the data-file seeds and its codec module; not
# the companion tool, which no target needs whole.
targets=(QuenGreeting quen_g723)
for source in fuzz/fuzz_*.cpp; do targets+=("$(basename "$source" .cpp)"); done
cmake --build --preset fuzz -j"$(nproc)" --target "${targets[@]}"

# Data-file seeds are written fresh by the program under test, one per codec and kind,
# rather than kept as opaque files. The recordings are the example greeting cut short,
# since every byte of a seed costs time in every run: 1.5 s of A-law is two packets,
# 0.3 s of mu-law one; G.723.1 needs the whole 4.8 s for a second packet.
le32() {
    printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) \
        $(($1 >> 16 & 255)) $(($1 >> 24 & 255))
}
# The first $1 bytes of the example's samples as the WAV file $2.
cut_greeting() {
    {
        printf "RIFF$(le32 $((36 + $1)))WAVEfmt $(le32 16)\\x01\\x00\\x01\\x00"
        printf "$(le32 8000)$(le32 16000)\\x02\\x00\\x10\\x00data$(le32 "$1")"
        head -c $((44 + $1)) examples/greeting.wav | tail -c "$1"
    } >"$2"
}
seeds_dir=build/fuzz/corpus/fuzz_data_file
mkdir -p "$seeds_dir"
work=$(mktemp -d)
cut_greeting 24000 "$work/1.5s.wav"
cut_greeting 4800 "$work/0.3s.wav"
build/fuzz/QuenGreeting "/convert:$work/1.5s.wav" "Main Desk" AM_greeting alaw \
    "$seeds_dir/seed-alaw-greeting.cxx" "$work/log.txt" >/dev/null
build/fuzz/QuenGreeting "/convertMsg:$work/0.3s.wav" 4711 Ann "Call back" ULAW Y N 1 2 \
    "$seeds_dir/seed-mulaw-message.cxx" "$work/log.txt" >/dev/null
build/fuzz/QuenGreeting /convert:examples/greeting.wav Sales MN_greeting g723 \
    "$seeds_dir/seed-g723-greeting.cxx" "$work/log.txt" >/dev/null
rm -r "$work"

# Recording seeds, one per container the media entry allows, made fresh by ffmpeg:
# a tenth of a second of a tone, so each costs little in every run.
media_seeds=build/fuzz/corpus/fuzz_media_input
mkdir -p "$media_seeds"
for seed in wav:pcm_s16le rf64.wav:pcm_s16le w64:pcm_f32le mp3:libmp3lame flac:flac \
    ogg:libvorbis opus.ogg:libopus m4a:aac mov:alac aiff:pcm_s16be caf:pcm_s16le; do
    file=${seed%%:*}
    options=(-c:a "${seed#*:}")
    [ "$file" = rf64.wav ] && options+=(-rf64 always)
    ffmpeg -v error -y -f lavfi -i "sine=frequency=440:sample_rate=16000:duration=0.1" \
        -fflags +bitexact "${options[@]}" "$media_seeds/seed.$file"
done

for target in build/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus=build/fuzz/corpus/$name
    mkdir -p "$corpus"
    seeds=()
    [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
    # libavformat reserves buffers by what a header claims (1.5 GiB for a 2 KB MOV) and
    # touches little of them; `quen` runs it in a jail whose memory limit refuses that. The
    # media target runs it in-process: a single reservation may pass, the memory the
    # process really holds stays limited to 512 MiB. The address sanitizer keeps up to
    # 256 MiB of freed blocks in quarantine by default, which libavformat's churn fills
    # within seconds and which then counts against that limit; a smaller quarantine
    # keeps the limit about the target's own memory.
    limits=(-rss_limit_mb=512)
    sanitizer=${ASAN_OPTIONS:-}
    if [ "$name" = fuzz_media_input ]; then
        limits+=(-malloc_limit_mb=4096)
        sanitizer=quarantine_size_mb=64${sanitizer:+:$sanitizer}
    fi
    echo "== $name for ${seconds}s"
    ASAN_OPTIONS=$sanitizer "$target" -max_total_time="$seconds" "${limits[@]}" -print_final_stats=0 \
        "$corpus" "${seeds[@]}" 2>&1 |
        tail -n 2
done
