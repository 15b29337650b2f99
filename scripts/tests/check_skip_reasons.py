#!/usr/bin/env python3
"""The README lists exactly the skip reasons that the tests and scripts can print: every "skip:" or
"skip <part>:" text in the tracked sources has its entry in the README's list, and every entry of
the list is a reason that something prints. Reasons end where a value is filled in."""

import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# This file and the summary's own check print skips of their own making; the benchmarks are not
# part of scripts/test.
IGNORED = {"scripts/tests/check_skip_reasons.py", "scripts/tests/check_ctest_summary.py", "scripts/lib/ctest_summary.py"}


def printed_reasons():
    files = subprocess.run(["git", "-C", ROOT, "ls-files"], capture_output=True, text=True, check=True).stdout.split()
    reasons = set()
    for name in files:
        if name in IGNORED or name.startswith(("tests/cases/", "bench/")) or name.endswith(".md"):
            continue
        try:
            text = open(os.path.join(ROOT, name), encoding="utf-8").read()
        except (UnicodeDecodeError, IsADirectoryError):
            continue
        for quote in "\"'`":
            for match in re.finditer(rf"{quote}skip(?: [^:{quote}\n]*)?: ([^{quote}\n]*){quote}", text):
                reason = re.split(r"[{$]", match.group(1))[0].strip().rstrip(":").strip()
                if reason:
                    reasons.add(reason)
    return reasons


def main():
    printed, listed = printed_reasons(), set()
    readme = open(os.path.join(ROOT, "README.md"), encoding="utf-8").read()
    section = readme.split("the reasons it can give are:", 1)[1].split("\n\n")[1]
    for item in re.split(r"^- ", section, flags=re.M)[1:]:
        # The reasons are the quoted texts before the item's explanation.
        head = item.split("`: ", 1)[0] + "`"
        listed |= set(re.findall(r"`([^`]+)`", " ".join(head.split())))
    missing = sorted(r for r in printed if not any(r == l or r.startswith(l) for l in listed))
    unknown = sorted(l for l in listed if not any(r == l or r.startswith(l) for r in printed))
    for reason in missing:
        print(f"printed but not in the README's list: {reason}")
    for reason in unknown:
        print(f"in the README's list but printed nowhere: {reason}")
    print(f"{len(printed)} skip reasons, {len(listed)} listed")
    return 1 if missing or unknown else 0


if __name__ == "__main__":
    sys.exit(main())
