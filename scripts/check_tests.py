#!/usr/bin/env python3
"""Checks the properties of every registered test, as ctest reports them.

Every test needs a timeout, so a hung test fails instead of stalling CI, and
every test labelled "alone" must be RUN_SERIAL, so nothing runs beside it.
Usage: check_tests.py BUILD_DIR
"""
import json
import subprocess
import sys


def properties(test):
    return {p["name"]: p["value"] for p in test.get("properties", [])}


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    out = subprocess.run(["ctest", "--show-only=json-v1"], cwd=build,
                         check=True, capture_output=True, text=True).stdout
    tests = json.loads(out)["tests"]
    faults = []
    for test in tests:
        props = properties(test)
        name = test["name"]
        if not props.get("TIMEOUT"):
            faults.append(f"{name}: no TIMEOUT")
        labels = props.get("LABELS", [])
        if "alone" in labels and not props.get("RUN_SERIAL"):
            faults.append(f"{name}: labelled alone but not RUN_SERIAL")
    for fault in faults:
        print(fault, file=sys.stderr)
    serial = sum(1 for t in tests if properties(t).get("RUN_SERIAL"))
    print(f"{len(tests)} tests: {len(faults)} faults, {serial} run alone")
    return 1 if faults or not tests else 0


if __name__ == "__main__":
    sys.exit(main())
