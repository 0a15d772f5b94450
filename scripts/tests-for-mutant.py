#!/usr/bin/env python3
"""Runs the tests that can catch the fault a mutation run has planted: those that run
one of the lines it changed (or, for a line never run itself, any line of its file), by
build/coverage/tests-by-line.json (made by scripts/coverage-by-test.sh), and every
unmeasured test; the whole suite while no fault is planted or when no test is known to
run the file. Two shards, every test to its end, so that the run learns every test
that catches the fault, or with --fail-fast each shard up to its first failure, which is
enough for a kill rate; one GoogleTest JSON report. --without=FILE leaves out the tests
FILE names, one a line, to learn what the suite would catch without them.

Usage, as the mutation tool's test command:
    scripts/tests-for-mutant.py [--fail-fast] [--without=FILE] SOURCE_DIR BUILD_DIR {json}
"""
import json
import os
import subprocess
import sys

options = [a for a in sys.argv[1:] if a.startswith("--")]
source_dir, build_dir, report = (os.path.abspath(a) for a in sys.argv[1:] if a not in options)
pending = os.path.join(build_dir, ".mutants", "pending.json")
index = os.path.join(source_dir, "build", "coverage", "tests-by-line.json")

CHILD_FOLDERS = {"media", "dsp", "wav", "codec", "platform"}
CHILD_STARTER = "media/MediaDecoder.cpp:"

chosen = None
if os.path.exists(pending):
    with open(pending, encoding="utf-8") as f:
        patch = json.load(f)
    with open(patch["path"], "rb") as f:
        planted = f.read().split(b"\n")
    with open(patch["backup"], "rb") as f:
        original = f.read().split(b"\n")
    file = os.path.relpath(patch["path"], source_dir)
    changed = [n for n, (a, b) in enumerate(zip(planted, original), 1) if a != b]
    with open(index, encoding="utf-8") as f:
        coverage = json.load(f)
    running = set()
    for n in changed:
        running.update(coverage["lines"].get(f"{file}:{n}", []))
    # A line that is never run itself (a constant, a declaration) acts through the code
    # of its own file.
    if not running:
        for line, tests in coverage["lines"].items():
            if line.rpartition(":")[0] == file:
                running.update(tests)
    # The decoding child writes no counters (its jail opens no file), so its lines count
    # as run only by the tests that run them in-process: a fault in a folder the child
    # runs also gets every test that starts a child.
    if running and file.split("/")[0] in CHILD_FOLDERS:
        for line, tests in coverage["lines"].items():
            if line.startswith(CHILD_STARTER):
                running.update(tests)
    if running:
        chosen = sorted(running | set(coverage["unmeasured"]))

left_out = []
for option in options:
    if option.startswith("--without="):
        with open(option.partition("=")[2], encoding="utf-8") as f:
            left_out += f.read().split()
arguments = [os.path.join(build_dir, "quen_tests")]
if chosen or left_out:
    arguments.append("--gtest_filter=" + (":".join(chosen) if chosen else "*") +
                     ("-" + ":".join(left_out) if left_out else ""))
if "--fail-fast" in options:
    arguments.append("--gtest_fail_fast")
shards = []
for shard in range(2):
    environment = dict(os.environ, GTEST_TOTAL_SHARDS="2", GTEST_SHARD_INDEX=str(shard))
    shards.append(subprocess.Popen(arguments + [f"--gtest_output=json:{report}.{shard}"],
                                   cwd=os.path.join(build_dir, "tests"), env=environment,
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
failed = False
for shard in shards:
    failed |= shard.wait() != 0
merged = {"testsuites": []}
for shard in range(2):
    try:
        with open(f"{report}.{shard}", encoding="utf-8") as f:
            merged["testsuites"] += json.load(f)["testsuites"]
        os.remove(f"{report}.{shard}")
    except (OSError, ValueError, KeyError):
        failed = True  # a shard that crashed wrote no report
with open(report, "w", encoding="utf-8") as f:
    json.dump(merged, f)
sys.exit(1 if failed else 0)
