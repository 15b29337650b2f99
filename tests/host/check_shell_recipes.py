#!/usr/bin/env python3
"""Runs the jq recipes of docs/protocol.md's "Shell hosts" against the built quennet and the
simulated Steam's demo world, and fails when one no longer prints what the document shows under it.
A recipe is a ```sh block; the ```text block after it is its output. Progress records are spaced
out by time, so a recipe may print fewer of the lines shown (a busy machine skips a step), never
others, and always the first and the last.

    check_shell_recipes.py --exe <quennet> --sim-library <libsteam_api.so> --work <folder>
"""

import argparse
import os
import re
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SKIP = 77


def recipes():
    text = open(os.path.join(ROOT, "docs", "protocol.md"), encoding="utf-8").read()
    section = text.split("\n## Shell hosts\n", 1)[1].split("\n## ", 1)[0]
    return re.findall(r"```sh\n(.*?)```\n\n```text\n(.*?)```", section, re.S)


def shown_in_order(printed, shown):
    """Every printed line is one of the shown ones, in their order, first and last included."""
    at = iter(shown)
    return (bool(printed) and printed[0] == shown[0] and printed[-1] == shown[-1]
            and all(any(line == other for other in at) for line in printed))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", required=True)
    parser.add_argument("--sim-library", required=True)
    parser.add_argument("--work", required=True)
    options = parser.parse_args()
    if shutil.which("jq") is None:
        print("skip: no jq (scripts/bootstrap installs it)")
        return SKIP

    shutil.rmtree(options.work, ignore_errors=True)
    folder = os.path.join(options.work, "bin")
    os.makedirs(folder)
    shutil.copy(options.exe, folder)
    shutil.copy(options.sim_library, folder)
    env = {k: v for k, v in os.environ.items() if not k.startswith("STEAM_SIM_")}
    env["PATH"] = folder + os.pathsep + env.get("PATH", "")

    found = recipes()
    failed = 0
    for script, output in found:
        result = subprocess.run(["sh", "-eu", "-c", script], cwd=options.work, env=env, capture_output=True,
                                text=True, timeout=60)
        ok = result.returncode == 0 and shown_in_order(result.stdout.splitlines(), output.splitlines())
        print(f"{'ok  ' if ok else 'FAIL'} {script.splitlines()[0]}")
        if not ok:
            failed += 1
            print(f"  exit status {result.returncode}; printed:\n    " + result.stdout.replace("\n", "\n    ")
                  + result.stderr)
    if len(found) < 4:
        print(f"FAIL only {len(found)} recipes found in docs/protocol.md")
        failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
