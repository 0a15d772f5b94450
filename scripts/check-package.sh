#!/usr/bin/env bash
# Installs the Debian package on this machine, runs the installed QuenGreeting from
# its installed location on the installed example (a G.711 greeting, and a G.723.1
# one, which needs the installed codec module), formats the installed man page, and
# removes the package. Meant for CI and throwaway machines: it refuses to run where
# quengreeting is installed already.
# Usage: scripts/check-package.sh [package.deb]   (build/package/quengreeting_*.deb)
set -euo pipefail
cd "$(dirname "$0")/.."
deb=${1:-$(echo build/package/quengreeting_*.deb)}

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

if dpkg-query -W -f='${Status}' quengreeting 2>/dev/null | grep -q 'ok installed'; then
    echo "quengreeting is installed already; leaving it alone" >&2
    exit 1
fi

work=$(mktemp -d)
installed=no
cleanup() {
    [ "$installed" = no ] || "${sudo[@]}" dpkg -r quengreeting >/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

"${sudo[@]}" dpkg -i "$deb" >/dev/null
installed=yes
program=$(dpkg -L quengreeting | grep '/bin/QuenGreeting$')
page=$(dpkg -L quengreeting | grep '/man1/QuenGreeting\.1\.gz$')
wav=$(dpkg -L quengreeting | grep '/examples/greeting\.wav$')

status=0
# greeting.wav holds 76756 bytes of samples. G.711: 38378 bytes in 480 frames of 80
# (the last one partial), 4 packets: 214 + 38378 + 4 = 38596. G.723.1: 159 whole
# blocks of 480 bytes give 159 frames of 24 bytes, 2 packets: 214 + 3816 + 2 = 4032.
check_greeting() {
    local format=$1 flash_type=$2 size=$3
    local data=$work/$format.cxx log=$work/$format.log code=0
    "$program" "/convert:$wav" "Front Desk" Welcome "$format" "$data" "$log" || code=$?
    local expected_log log_text="" header=""
    expected_log=$(printf 'Creating data file - "%s"\r\n_' "$data")
    log_text=$(cat "$log" 2>/dev/null; echo _)
    [ -f "$data" ] && header=$(od -An -tx1 -N5 "$data" | tr -d ' \n')
    if [ "$code" -eq 0 ] && [ "$log_text" = "$expected_log" ] &&
        [ "$header" = "$(printf '%08x' "$size")$flash_type" ] &&
        [ "$(stat -c %s "$data")" -eq "$size" ]; then
        echo "ok: installed $program, $format greeting, $size bytes"
    else
        echo "FAIL: installed $program, $format greeting: exit code $code," \
            "preamble ${header:-missing}, log:" >&2
        printf '%s' "${log_text%_}" | od -c >&2
        status=1
    fi
}
check_greeting g711 89 38596
check_greeting g723 8b 4032

if man -l "$page" >"$work/page.txt" 2>"$work/page.err" && [ ! -s "$work/page.err" ] &&
    grep -q 'QuenGreeting - convert speech recordings' "$work/page.txt"; then
    echo "ok: man -l $page"
else
    echo "FAIL: man -l $page" >&2
    cat "$work/page.err" >&2
    status=1
fi

"${sudo[@]}" dpkg -r quengreeting >/dev/null
installed=no
if [ -e "$program" ] || [ -e "$page" ] || [ -e "$wav" ]; then
    echo "FAIL: dpkg -r left files behind" >&2
    status=1
else
    echo "ok: dpkg -r quengreeting"
fi
exit $status
