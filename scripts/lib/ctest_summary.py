#!/usr/bin/env python3
"""One build's test results from ctest's JUnit file: a line with the counts of passed, failed and
skipped tests, then for each failed test the last lines of its output, then a line per skip
reason naming the tests skipped for it. A test skips by exiting
with its SKIP_RETURN_CODE after printing a line "skip: <reason>" or "skip <part>: <reason>"; the
reason is what follows the first colon. Passing tests that skipped some of their parts are named
too, since their skips are as easy to miss.

    ctest_summary.py <preset> <junit.xml> [--counts <file>]

With --counts it also writes the three counts, "<passed> <failed> <skipped>" on one line, to
<file>: scripts/test adds up its totals from those, not from the summary's wording.
"""

import argparse
import xml.etree.ElementTree as ElementTree

LAST_LINES = 8


def skip_reasons(output):
    reasons = []
    for line in output.splitlines():
        if line.startswith("skip") and ":" in line:
            reason = line.split(":", 1)[1].strip()
            if reason and reason not in reasons:
                reasons.append(reason)
    return reasons


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("preset")
    parser.add_argument("junit")
    parser.add_argument("--counts", help="a file to write the counts to, for the totals")
    options = parser.parse_args()
    cases = ElementTree.parse(options.junit).getroot().iter("testcase")
    passed, failed, skipped = [], {}, {}
    partly = {}
    for case in cases:
        name = case.get("name")
        output = case.findtext("system-out") or ""
        if case.find("skipped") is not None or case.get("status") in ("notrun", "disabled"):
            for reason in skip_reasons(output) or ["no reason given"]:
                skipped.setdefault(reason, []).append(name)
        elif case.find("failure") is not None or case.get("status") == "fail":
            failed[name] = [line for line in output.splitlines() if line.strip()][-LAST_LINES:]
        else:
            passed.append(name)
            for reason in skip_reasons(output):
                partly.setdefault(reason, []).append(name)
    count = len({name for names in skipped.values() for name in names})
    if options.counts:
        with open(options.counts, "w") as f:
            f.write(f"{len(passed)} {len(failed)} {count}\n")
    print(f"{options.preset}: {len(passed)} passed, {len(failed)} failed, {count} skipped")
    for name, lines in failed.items():
        print(f"  failed {name}, whose output ends:" if lines else f"  failed {name}, with no output")
        for line in lines:
            print(f"      {line}")
    for reason, names in skipped.items():
        print(f"  skipped {', '.join(names)}: {reason}")
    for reason, names in partly.items():
        print(f"  passed with parts skipped, {', '.join(names)}: {reason}")


if __name__ == "__main__":
    main()
