#!/usr/bin/env python3
"""Black-box runner: starts the built quennet as a separate process, the way a launcher does, and
compares what it wrote with each case's expectation.

Every run gets a folder of its own holding a copy of the executable and the Steam library it needs
(the simulator, Valve's genuine library, or none). The Windows build runs under Wine. The same case
files serve both builds; the format is described in tests/cases/README.md.
"""

import argparse
import concurrent.futures
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile

USAGE = ("usage: quennet status <workshopId>... | download <workshopId>... [--timeout-secs N] | "
         "unsubscribe <workshopId>... | whoami")
SKIPPED = 77  # ctest's SKIP_RETURN_CODE for a file whose cases all need what this machine lacks
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")

BLOCK_KEYS = {"stdout", "stdout-prefix", "stdout-match", "scenario", "log-contains", "log-exact", "log-absent",
              "log-count"}
LINE_KEYS = {"args", "exit", "library", "platforms", "stdout-mode", "timeout", "log", "check", "stderr"}


class CaseError(Exception):
    pass


def parse_cases(path):
    """Cases of one file: '=== name' starts a case, 'key: value' sets a field, 'key:' alone opens a
    block that runs to a line 'end'. A key may end in '.linux' or '.windows' to apply there only."""
    cases, case, block, block_lines = [], None, None, []
    with open(path, encoding="utf-8") as f:
        for number, raw in enumerate(f, 1):
            line = raw.rstrip("\n")
            where = f"{path}:{number}"
            if block is not None:
                if line == "end":
                    case[block] = block_lines
                    block, block_lines = None, []
                else:
                    block_lines.append(line)
                continue
            if not line.strip() or line.startswith("#"):
                continue
            if line.startswith("=== "):
                case = {"name": line[4:].strip(), "where": where}
                cases.append(case)
                continue
            if case is None:
                raise CaseError(f"{where}: a field before the first '=== name'")
            key, sep, value = line.partition(":")
            base = key.split(".")[0]
            if not sep or base not in BLOCK_KEYS | LINE_KEYS:
                raise CaseError(f"{where}: unknown field {key!r}")
            if key in case:
                raise CaseError(f"{where}: {key} given twice")
            if value.strip() == "" and base in BLOCK_KEYS:
                block = key
            else:
                case[key] = value.strip()
    if block is not None:
        raise CaseError(f"{path}: block {block} has no 'end'")
    return cases


def field(case, key, platform, default=None):
    return case.get(f"{key}.{platform}", case.get(key, default))


def windows_path(path):
    # Wine shows the Unix root as drive Z:.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def substitute(text, values):
    return re.sub(r"\$\{(\w+)\}", lambda m: values[m.group(1)], text)


class Runner:
    def __init__(self, options):
        self.options = options
        self.windows = options.platform == "windows"

    def library_source(self, kind):
        if kind == "none":
            return None
        if kind == "sim":
            return self.options.sim_library
        if kind == "genuine":
            name = "steam_api64.dll" if self.windows else "libsteam_api.so"
            return os.path.join(self.options.genuine_dir or "", name)
        raise CaseError(f"unknown library {kind!r}")

    def run(self, case, folder):
        """Runs one case in `folder`; returns a list of failure texts (empty: passed)."""
        p = self.options.platform
        os.makedirs(folder)
        exe = shutil.copy(self.options.exe, folder)
        library = self.library_source(field(case, "library", p, "sim"))
        if library:
            shutil.copy(library, folder)

        env = {k: v for k, v in os.environ.items() if not k.startswith("STEAM_SIM_")}
        env.pop("SteamAppId", None)
        env.pop("SteamGameId", None)
        log_path = os.path.join(folder, "sim.log")
        env["STEAM_SIM_LOG"] = windows_path(log_path) if self.windows else log_path
        scenario = field(case, "scenario", p)
        if scenario is not None:
            scenario_path = os.path.join(folder, "scenario.json")
            with open(scenario_path, "w", encoding="utf-8") as f:
                f.write("\n".join(scenario) + "\n")
            env["STEAM_SIM_SCENARIO"] = windows_path(scenario_path) if self.windows else scenario_path

        args = [a.encode("utf-8", "surrogateescape") for a in json.loads(field(case, "args", p, "[]"))]
        command = ([WINE_RUN, exe] if self.windows else [exe]) + args
        # Standard output and error go to files by default: a process that inherits them (a Wine
        # helper started by the first run, say) cannot then keep us waiting for their end.
        mode = field(case, "stdout-mode", p, "file")
        if mode == "closed":
            # The child starts with descriptor 1 closed, as a careless parent would leave it.
            command = ["sh", "-c", 'exec "$@" >&-', "sh"] + command
        timeout = float(field(case, "timeout", p, "60"))
        stdout_path = os.path.join(folder, "stdout")
        stderr_path = os.path.join(folder, "stderr")

        with open(stdout_path, "wb") as out, open(stderr_path, "wb") as err:
            proc = subprocess.Popen(command, cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.PIPE if mode == "pipe" else out, stderr=err,
                                    start_new_session=True)
            try:
                piped, _ = proc.communicate(timeout=timeout)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.communicate()
                return [f"no exit within {timeout:g} s"]
        if mode == "pipe":
            with open(stdout_path, "wb") as f:
                f.write(piped)
        with open(stdout_path, "rb") as f:
            stdout = f.read()
        with open(stderr_path, "rb") as f:
            stderr = f.read()
        log = b""
        if os.path.exists(log_path):
            with open(log_path, "rb") as f:
                log = f.read()
        return self.compare(case, stdout, proc.returncode, log, stderr)

    def compare(self, case, stdout, status, log, stderr):
        p = self.options.platform
        values = {"USAGE": USAGE, "STDOUT_SIZE": str(len(stdout))}
        failures = []
        text = stdout.decode("utf-8", "surrogateescape")

        expected_exit = int(field(case, "exit", p, "0"))
        if status != expected_exit:
            failures.append(f"exit status {status}, expected {expected_exit}")
        if b"\r" in stdout:
            failures.append("standard output holds a CR byte")
        if stdout and not stdout.endswith(b"\n"):
            failures.append("standard output does not end with a line feed")

        exact = field(case, "stdout", p)
        if exact is not None:
            want = "".join(substitute(line, values) + "\n" for line in exact)
            if text != want:
                failures.append("standard output differs:\n" + diff(want, text))
        prefix = field(case, "stdout-prefix", p)
        if prefix is not None:
            want = "\n".join(substitute(line, values) for line in prefix)
            if not text.startswith(want):
                failures.append("standard output does not start as expected:\n" + diff(want, text))

        patterns = field(case, "stdout-match", p)
        if patterns is not None:
            lines = text.splitlines()
            if len(lines) != len(patterns):
                failures.append(f"{len(lines)} lines on standard output, expected {len(patterns)}:\n{text}")
            for pattern, line in zip(patterns, lines):
                if not re.fullmatch(substitute(pattern, values), line):
                    failures.append(f"line does not match {pattern!r}: {line!r}")

        # quennet writes to standard error only for an internal error. Wine and Valve's library write
        # their own chatter there, so standard error is checked on Linux with our libraries only.
        errors = stderr.decode("utf-8", "replace")
        expected_error = field(case, "stderr", p)
        if expected_error is not None:
            if expected_error not in errors:
                failures.append(f"standard error lacks {expected_error!r}: {errors!r}")
        elif p == "linux" and field(case, "library", p, "sim") != "genuine" and errors:
            failures.append("standard error is not empty: " + errors)

        failures += self.compare_log(case, log.decode("utf-8", "surrogateescape"), values)
        for check in (field(case, "check", p) or "").split():
            failures += CHECKS[check](text)
        return failures

    def compare_log(self, case, log, values):
        p = self.options.platform
        lines = log.splitlines()
        failures = [f"simulator reports misuse: {l}" for l in lines if l.startswith("sim: misuse")]
        if field(case, "log", p) == "none" and lines:
            failures.append("the Steam library was called:\n" + "\n".join(lines[:5]))
        exact = field(case, "log-exact", p)
        if exact is not None:
            want = [substitute(l, values) for l in exact]
            if lines != want:
                failures.append("simulator log differs:\n" + diff("\n".join(want), "\n".join(lines)))
        contains = field(case, "log-contains", p)
        if contains is not None:
            at = 0
            for wanted in (substitute(l, values) for l in contains):
                while at < len(lines) and lines[at] != wanted:
                    at += 1
                if at == len(lines):
                    failures.append(f"simulator log lacks, in this order: {wanted!r}")
                    break
                at += 1
        for absent in field(case, "log-absent", p) or []:
            hits = [l for l in lines if l.startswith(substitute(absent, values))]
            if hits:
                failures.append(f"simulator log holds {hits[0]!r}")
        for rule in field(case, "log-count", p) or []:
            count, _, start = rule.partition(" ")
            seen = sum(1 for l in lines if l.startswith(substitute(start, values)))
            if seen != int(count):
                failures.append(f"simulator log holds {seen} lines starting {start!r}, expected {count}")
        return failures


def check_progress_spacing(text):
    """Progress records: every record parses, ids are digit strings, and counts never go down."""
    failures, last = [], {}
    for line in text.splitlines():
        record = json.loads(line)
        if record["type"] != "progress":
            continue
        done, total = record["bytesDone"], record["bytesTotal"]
        if done > total:
            failures.append(f"bytesDone above bytesTotal: {line}")
        if done < last.get(record["workshopId"], 0):
            failures.append(f"progress went backwards: {line}")
        last[record["workshopId"]] = done
    return failures


CHECKS = {"progress": check_progress_spacing}


def diff(want, got):
    return "  expected: " + repr(want) + "\n  actual:   " + repr(got)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", required=True, help="the built quennet or quennet.exe")
    parser.add_argument("--sim-library", required=True, help="the built simulated Steam library")
    parser.add_argument("--platform", choices=["linux", "windows"], required=True)
    parser.add_argument("--genuine-dir", help="folder holding Valve's own library, if fetched")
    parser.add_argument("--work", required=True, help="folder for the runs (emptied first)")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--only", help="run only cases whose name contains this text")
    parser.add_argument("files", nargs="+")
    options = parser.parse_args()

    runner = Runner(options)
    jobs, skipped = [], []
    for path in options.files:
        for case in parse_cases(path):
            platforms = field(case, "platforms", options.platform, "linux windows").split()
            if options.platform not in platforms:
                continue
            if options.only and options.only not in case["name"]:
                continue
            if field(case, "library", options.platform, "sim") == "genuine" and not (
                    options.genuine_dir and os.path.exists(runner.library_source("genuine"))):
                skipped.append(case)
                continue
            jobs.append(case)

    shutil.rmtree(options.work, ignore_errors=True)
    os.makedirs(options.work)
    failed = 0
    with concurrent.futures.ThreadPoolExecutor(max_workers=options.jobs) as pool:
        folders = [os.path.join(options.work, f"{i:03d}-" + re.sub(r"[^A-Za-z0-9]+", "-", c["name"])[:60])
                   for i, c in enumerate(jobs)]
        for case, folder, failures in zip(jobs, folders, pool.map(runner.run, jobs, folders)):
            if failures:
                failed += 1
                print(f"FAIL {case['name']} ({case['where']}, run in {folder})")
                for failure in failures:
                    print("  " + failure.replace("\n", "\n  "))
            else:
                print(f"ok   {case['name']}", flush=True)
    for case in skipped:
        print(f"skip {case['name']}: Valve's Steam library was not fetched (no registry access?)")
    print(f"{len(jobs) - failed} passed, {failed} failed, {len(skipped)} skipped")
    if failed:
        return 1
    return SKIPPED if skipped and not jobs else 0


if __name__ == "__main__":
    try:
        sys.exit(main())
    except CaseError as error:
        print(f"error: {error}")
        sys.exit(2)
