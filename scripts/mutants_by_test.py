#!/usr/bin/env python3
"""Replays a mutation report's mutants and records which test failed.

Like `mutants.py --replay`, each mutant is applied to its line, the tree is
rebuilt and the tests are run; the source is restored after each one. Two
differences:
  - ctest stops at the first failing test, and that test is recorded, so a
    kill can be checked against what the mutated code does (a test of
    unrelated code failing is a flake, not a kill);
  - a run that passes its time limit is ended with every process it started.
    A timed-out run whose tests go on running disturbs the next mutant's run.

    scripts/mutants_by_test.py PLAN REPORT [--labels REGEX] [--build DIR]

PLAN is a report whose mutants to replay (see scripts/mutants_relocate.py);
REPORT is written after every mutant, and a run started again skips the
mutants it already holds.
"""
import argparse
import json
import os
import signal
import subprocess
import time


def run(command, cwd, limit):
    """The command's exit status; 124 when it ran out of time."""
    process = subprocess.Popen(command, shell=True, cwd=cwd, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL, start_new_session=True)
    try:
        return process.wait(timeout=limit)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        return 124


def replay(mutant, build, selection):
    """Applies one mutant, runs the tests, restores the file: its record."""
    with open(mutant["file"], encoding="utf-8", errors="replace") as fh:
        text = fh.read()
    lines = text.split("\n")
    i = mutant["line"] - 1
    if i >= len(lines) or lines[i] != mutant["before"]:
        return dict(mutant, outcome="stale", killed_by=None)
    lines[i] = mutant["after"]
    failed_log = os.path.join(build, "Testing", "Temporary", "LastTestsFailed.log")
    start = time.time()
    try:
        with open(mutant["file"], "w", encoding="utf-8") as fh:
            fh.write("\n".join(lines))
        if run("cmake --build %s -j 2" % build, ".", 1800) != 0:
            return dict(mutant, outcome="no-build", killed_by=None)
        if os.path.exists(failed_log):
            os.remove(failed_log)
        status = run("xvfb-run -a -s '-screen 0 1280x1024x24' ctest -j 2 %s --timeout 45 "
                     "--stop-on-failure -Q" % selection, build, 900)
        killed_by = []
        if os.path.exists(failed_log):
            killed_by = [l.split(":", 1)[1].strip() for l in open(failed_log) if ":" in l]
        return dict(mutant, outcome="killed" if status else "survived", killed_by=killed_by,
                    seconds=round(time.time() - start))
    finally:
        with open(mutant["file"], "w", encoding="utf-8") as fh:
            fh.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("plan")
    parser.add_argument("report")
    parser.add_argument("--labels", default="", help="ctest -L regex (default: all but e2e, load)")
    parser.add_argument("--build", default="build")
    args = parser.parse_args()
    selection = "-L '%s'" % args.labels if args.labels else "-LE 'e2e|load'"
    done = json.load(open(args.report))["mutants"] if os.path.exists(args.report) else []
    seen = {(m["file"], m["line"], m["after"]) for m in done}
    for mutant in json.load(open(args.plan))["mutants"]:
        if mutant.get("outcome") == "no-build" or (mutant["file"], mutant["line"],
                                                   mutant["after"]) in seen:
            continue
        record = replay(mutant, args.build, selection)
        done.append(record)
        counted = [m for m in done if m["outcome"] in ("killed", "survived")]
        killed = sum(m["outcome"] == "killed" for m in counted)
        json.dump(dict(killed=killed, counted=len(counted), mutants=done),
                  open(args.report, "w"), indent=1)
        print("%-8s %s:%d %s" % (record["outcome"], record["file"], record["line"],
                                 record.get("killed_by") or ""), flush=True)
    run("cmake --build %s -j 2" % args.build, ".", 1800)  # the build matches the tree again


if __name__ == "__main__":
    main()
