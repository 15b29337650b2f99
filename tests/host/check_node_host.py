#!/usr/bin/env python3
"""Runs the example Node.js host (examples/node-host/host.js), or with --python the example Python
host (examples/python-host/host.py), against the built quennet and the simulated Steam, the way a
launcher would use it, and checks what it reports: each item's outcome, its verdict on the run, and
its exit status, for a download that succeeds, one in which items fail, a quennet that stops on an
internal error, and Valve's library with no Steam client running."""

import argparse
import os
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
HOST = os.path.join(ROOT, "examples", "node-host", "host.js")
PYTHON_HOST = os.path.join(ROOT, "examples", "python-host", "host.py")
SCENARIO = os.path.join(ROOT, "docs", "protocol-scenario.json")
FOLDER = "C:\\Program Files (x86)\\Steam\\steamapps\\workshop\\content\\221100\\"

RUNS = [
    {
        "name": "a download that succeeds",
        "args": ["download", "1559212036", "1564026768"],
        "status": 0,
        "first": "Steam account: Ann (76561198012345678)",
        "in_order": [
            "1564026768  [##############################] 100.0%  0.5 of 0.5 MB",
            "1564026768  installed in " + FOLDER + "1564026768",
            "1559212036  [##############################] 100.0%  3.0 of 3.0 MB",
            "1559212036  installed in " + FOLDER + "1559212036",
        ],
        "last": "quennet: done",
    },
    {
        "name": "a download in which two of three items fail",
        "args": ["download", "1590841260", "2116151222", "2288339650"],
        "status": 1,
        "first": "Steam account: Ann (76561198012345678)",
        "in_order": [
            "1590841260  installed in " + FOLDER + "1590841260",
            "2288339650  failed (item_invalid): subscribing to 2288339650 failed: Steam returned: a file was not found",
            "2116151222  [###############---------------]  50.0%  1.0 of 2.0 MB",
            "2116151222  failed (unknown): download of 2116151222 failed: Steam returned: operation cancelled due to the disk being full",
        ],
        "last": "quennet failed: 2 items failed",
    },
    {
        "name": "a quennet that stops on an internal error",
        "args": ["status", "1590841260"],
        "scenario": '{"interfaces": {"ugc": false}}',
        "status": 2,
        "first": "Steam account: Survivor (76561198000000000)",
        "in_order": [],
        "last": "quennet stopped on an internal error: quennet: Steam returned no interface from SteamAPI_SteamUGC_v021",
    },
    {
        # Valve's library writes its own diagnostics to standard error: they are no internal error.
        "name": "beside Valve's library, with no Steam client running",
        "args": ["whoami"],
        "library": "genuine",
        "status": 1,
        "first": "error (steam_not_running): Could not connect to Steam (",
        "in_order": [],
        "last": "quennet failed: steam_not_running: Could not connect to Steam (",
    },
]


def check(run, output, status):
    failures = []
    lines = output.splitlines()
    if status != run["status"]:
        failures.append(f"exit status {status}, expected {run['status']}")
    if not lines or not lines[0].startswith(run["first"]):
        failures.append(f"first line does not start {run['first']!r}")
    if not lines or not lines[-1].startswith(run["last"]):
        failures.append(f"last line does not start {run['last']!r}")
    at = 0
    for wanted in run["in_order"]:
        while at < len(lines) and lines[at] != wanted:
            at += 1
        if at == len(lines):
            failures.append(f"lacks, in this order: {wanted!r}")
            break
    return failures


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", required=True)
    parser.add_argument("--sim-library", required=True)
    parser.add_argument("--genuine-library", help="Valve's library, if fetched")
    parser.add_argument("--work", required=True)
    parser.add_argument("--python", help="run the Python host with this interpreter instead")
    options = parser.parse_args()
    host = [options.python, PYTHON_HOST] if options.python else ["node", HOST]

    shutil.rmtree(options.work, ignore_errors=True)
    folders = {}
    for library, source in (("sim", options.sim_library), ("genuine", options.genuine_library)):
        if source and os.path.exists(source):
            folders[library] = os.path.join(options.work, library)
            os.makedirs(folders[library])
            shutil.copy(options.exe, folders[library])
            shutil.copy(source, folders[library])

    failed = 0
    for number, run in enumerate(RUNS):
        library = run.get("library", "sim")
        if library not in folders:
            print(f"skip {run['name']}: Valve's Steam library was not fetched")
            continue
        exe = os.path.join(folders[library], os.path.basename(options.exe))
        scenario = SCENARIO
        if "scenario" in run:
            scenario = os.path.join(options.work, f"scenario-{number}.json")
            with open(scenario, "w", encoding="utf-8") as f:
                f.write(run["scenario"])
        env = {k: v for k, v in os.environ.items() if not k.startswith("STEAM_SIM_")}
        env.update(QUENNET=exe, STEAM_SIM_SCENARIO=scenario)
        result = subprocess.run(host + run["args"], env=env, stdin=subprocess.DEVNULL,
                                capture_output=True, text=True, timeout=60)
        failures = check(run, result.stdout, result.returncode)
        if failures:
            failed += 1
            print(f"FAIL {run['name']}")
            for failure in failures:
                print("  " + failure)
            print("  host wrote:\n    " + result.stdout.replace("\n", "\n    ") + result.stderr)
        else:
            print(f"ok   {run['name']}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
