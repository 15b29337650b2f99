#!/usr/bin/env python3
"""Runs the examples of docs/protocol.md against the built program and the simulated Steam, and fails
when the document no longer shows what the program writes.

An example is a ```console block of the document: "$ quennet ARGS", the exact standard output, then
"$ echo $?" and the exit status. A block may hold several runs. Every run uses the scenario that the
document names in its line "export STEAM_SIM_SCENARIO=PATH" (relative to the repository). Each run
goes through the black-box runner, so it gets the same checks as a black-box case (exact output, no
CR byte, no misuse of the Steam library, nothing on standard error).

With --update, the blocks are rewritten with what the program wrote instead.
"""

import argparse
import json
import os
import re
import shlex
import shutil
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "blackbox"))
import run_cases  # noqa: E402  (the black-box runner: one run per example, the same checks)

PROMPT = "$ quennet "
STATUS = "$ echo $?"


class Example:
    def __init__(self, first, args):
        self.args, self.stdout, self.status = args, [], None
        self.first, self.last = first, None  # line indexes of the example in the document


def parse(lines):
    """The examples of the document, in order, with the line span of each."""
    examples, in_block, current, awaiting_status = [], False, None, False
    for index, line in enumerate(lines):
        if not in_block:
            in_block = line.strip() == "```console"
            continue
        if line.strip() == "```":
            if current is not None and current.status is None:
                raise SystemExit(f"protocol.md:{current.first + 1}: example without '{STATUS}' and a status")
            in_block, current = False, None
        elif line.startswith(PROMPT):
            current = Example(index, shlex.split(line[len(PROMPT):]))
            examples.append(current)
        elif current is None:
            raise SystemExit(f"protocol.md:{index + 1}: a console block must start with '{PROMPT}'")
        elif line == STATUS:
            awaiting_status = True
        elif awaiting_status:
            current.status, current.last, awaiting_status = int(line), index, False
        else:
            current.stdout.append(line)
    return examples


def scenario_path(text):
    match = re.search(r"^export STEAM_SIM_SCENARIO=(\S+)$", text, re.M)
    if not match:
        raise SystemExit("protocol.md names no scenario ('export STEAM_SIM_SCENARIO=...')")
    return os.path.join(ROOT, match.group(1))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", required=True)
    parser.add_argument("--sim-library", required=True)
    parser.add_argument("--platform", choices=["linux", "windows"], required=True)
    parser.add_argument("--work", required=True, help="folder for the runs (emptied first)")
    parser.add_argument("--doc", default=os.path.join(ROOT, "docs", "protocol.md"))
    parser.add_argument("--update", action="store_true", help="rewrite the examples with the output")
    options = parser.parse_args()

    with open(options.doc, encoding="utf-8") as f:
        text = f.read()
    lines = text.split("\n")
    examples = parse(lines)
    if not examples:
        raise SystemExit("protocol.md holds no example")
    with open(scenario_path(text), encoding="utf-8") as f:
        scenario = f.read().splitlines()

    runner = run_cases.simulator_runner(options.exe, options.sim_library, options.platform)
    shutil.rmtree(options.work, ignore_errors=True)
    failed = 0
    for number, example in enumerate(examples):
        case = {"name": " ".join(example.args), "args": json.dumps(example.args), "scenario": scenario,
                "stdout": example.stdout, "exit": str(example.status)}
        folder = os.path.join(options.work, f"{number:02d}")
        failures = runner.run(case, folder)
        if options.update:
            with open(os.path.join(folder, "stdout"), encoding="utf-8") as f:
                example.stdout = f.read().splitlines()
            wrong_status = [f for f in failures if f.startswith("exit status ")]
            if wrong_status:  # the runner words it "exit status N, expected M"
                example.status = int(wrong_status[0].split()[2].rstrip(","))
        failed += run_cases.report(f"quennet {case['name']}", f"protocol.md:{example.first + 1}, run in {folder}",
                                   failures)

    if options.update:
        for example in reversed(examples):
            lines[example.first + 1:example.last + 1] = example.stdout + [STATUS, str(example.status)]
        with open(options.doc, "w", encoding="utf-8") as f:
            f.write("\n".join(lines))
        print(f"rewrote {len(examples)} examples")
        return 0
    print(f"{len(examples) - failed} of {len(examples)} examples match the program")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
