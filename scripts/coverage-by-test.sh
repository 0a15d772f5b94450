#!/usr/bin/env bash
# Which test runs which line: builds the suite with clang's coverage counters (the
# `coverage` preset), runs each test alone and writes, for every line of the programs'
# sources that some test runs, the tests that run it:
#   build/coverage/tests-by-line.json   {"lines": {"dsp/AudioLevels.cpp:26": [test, ...]},
#                                        "unmeasured": [test, ...]}
# A test whose work happens in a child that never writes its counters (a jailed decoder,
# a process ended by a signal) shows next to nothing; it is listed as unmeasured.
# scripts/tests-for-mutant.py reads the file to run only the tests that can reach a
# planted fault.
# Usage: scripts/coverage-by-test.sh
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$PWD
build=build/coverage

scripts/install-deps.sh
if ! command -v clang++ >/dev/null || ! command -v llvm-profdata >/dev/null ||
    ! command -v llvm-cov >/dev/null; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        clang llvm
fi
cmake --preset coverage >/dev/null
cmake --build --preset coverage -j"$(nproc)"

profiles=$build/profiles
rm -rf "$profiles" "$build/lines"
mkdir -p "$profiles" "$build/lines"
(cd "$build/tests" && ../quen_tests --gtest_list_tests) |
    awk '/^[^ ]/ { suite = $1 } /^  / { print suite $1 }' >"$build/tests.txt"

# Each test alone, two at a time; a failing test still counts for what it ran.
run_one() {
    mkdir -p "$profiles/$1"
    (cd "$build/tests" && LLVM_PROFILE_FILE="$PWD/../profiles/$1/%p-%m.profraw" \
        ../quen_tests --gtest_filter="$1" >/dev/null 2>&1) || echo "failed here: $1" >&2
}
# The lines a test ran, as "folder/file.cpp:line", from every program it started.
lines_of() {
    local merged=$profiles/$1.profdata
    if ! llvm-profdata merge -sparse -failure-mode=all "$profiles/$1"/*.profraw -o "$merged" \
        2>/dev/null; then
        : >"$build/lines/$1"
        return
    fi
    llvm-cov export -format=lcov -skip-functions -instr-profile "$merged" "$build/quen_tests" \
        -object "$build/QuenGreeting" -object "$build/quen" -object "$build/quen_g723.so" \
        -ignore-filename-regex="^$source_dir/(tests|build)/|^/usr/" 2>/dev/null |
        awk -F'[:,]' -v root="$source_dir/" \
            '/^SF:/ { file = substr($0, 4); sub("^" root, "", file) }
             /^DA:/ && $3 > 0 { print file ":" $2 }' | sort -u >"$build/lines/$1"
}
export -f run_one lines_of
export build profiles source_dir
xargs -P"$(nproc)" -I{} bash -c 'run_one "$1"' _ {} <"$build/tests.txt"
xargs -P"$(nproc)" -I{} bash -c 'lines_of "$1"' _ {} <"$build/tests.txt"

python3 - "$build" <<'EOF'
import json, os, sys
build = sys.argv[1]
lines, unmeasured = {}, []
for test in open(os.path.join(build, "tests.txt")).read().split():
    ran = open(os.path.join(build, "lines", test)).read().split()
    if len(ran) <= 20:
        unmeasured.append(test)
    for line in ran:
        lines.setdefault(line, []).append(test)
with open(os.path.join(build, "tests-by-line.json"), "w") as out:
    json.dump({"lines": lines, "unmeasured": unmeasured}, out)
print(f"{build}/tests-by-line.json: {len(lines)} lines run by some test; "
      f"{len(unmeasured)} tests unmeasured")
EOF
