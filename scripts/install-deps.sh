#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages QuenGreeting needs to build, test and benchmark
# (the tests make their G.723.1 reference frames and the compressed and odd recordings
# for `quen` with the ffmpeg command, and open `quen report` pages in headless
# chromium; the whole-process benchmarks time with hyperfine and measure memory with
# GNU time); with the argument "package" also those that
# build, check and try its Debian package. Does nothing when all are present; uses sudo
# when not run as root.
set -euo pipefail

packages=(g++ make cmake pkg-config scdoc libpugixml-dev libavcodec-dev libgtest-dev
          libgmock-dev libbenchmark-dev libavformat-dev libswresample-dev libebur128-dev
          libcli11-dev nlohmann-json3-dev libseccomp-dev ffmpeg chromium hyperfine time)
case "${1:-}" in
    package) packages+=(dpkg-dev file lintian man-db) ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}"
