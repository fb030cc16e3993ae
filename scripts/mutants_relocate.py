#!/usr/bin/env python3
"""Moves the mutants of a mutation report to where their lines are now.

A replay applies each mutant at its file and line; an edit above that line
since the report was taken would make it stale. This writes a copy of the
report in which each mutant whose line moved points at the nearest line
with the same text; a mutant whose line is gone stays as it was (the
replay then reports it stale).

    scripts/mutants_relocate.py REPORT OUT [ROOT]
"""
import json
import sys


def main():
    src, dst = sys.argv[1], sys.argv[2]
    root = sys.argv[3] if len(sys.argv) > 3 else "."
    report = json.load(open(src))
    for m in report["mutants"]:
        with open(root + "/" + m["file"], encoding="utf-8", errors="replace") as fh:
            lines = fh.read().split("\n")
        i = m["line"] - 1
        if i < len(lines) and lines[i] == m["before"]:
            continue
        hits = [k for k, text in enumerate(lines) if text == m["before"]]
        if not hits:
            print("gone  %s:%d" % (m["file"], m["line"]))
            continue
        k = min(hits, key=lambda k: abs(k - i))
        print("moved %s:%d -> %d" % (m["file"], m["line"], k + 1))
        m["line"] = k + 1
    json.dump(report, open(dst, "w"), indent=1)


if __name__ == "__main__":
    main()
