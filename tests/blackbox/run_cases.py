#!/usr/bin/env python3
"""Black-box runner: starts the built quennet as a separate process, the way a launcher does, and
compares what it wrote with each case's expectation.

Every run gets a folder of its own holding the executable and the Steam library it needs (the
simulator, Valve's genuine library, or none), as hard links to the built files where it can: a
sanitized build's binaries are large, and a copy per case would take gigabytes. The Windows build
runs under Wine. The same case files serve both builds; the format is described in
tests/cases/README.md.
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
import threading

USAGE = ("usage: quennet status <workshopId>... | download <workshopId>... [--timeout-secs N] | "
         "unsubscribe <workshopId>... | whoami")
SKIPPED = 77  # ctest's SKIP_RETURN_CODE for a file whose cases all need what this machine lacks
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINE_RUN = os.path.join(ROOT, "scripts", "wine-run")

BLOCK_KEYS = {"stdout", "stdout-prefix", "stdout-match", "scenario", "log-contains", "log-exact", "log-absent",
              "log-count"}
LINE_KEYS = {"args", "exit", "library", "platforms", "stdout-mode", "close-after", "timeout", "log", "check",
             "stderr"}


class CaseError(Exception):
    pass


def call_log_format():
    """The simulator's log-line format, read from where the simulator defines it (sim/call_log.h)."""
    with open(os.path.join(ROOT, "sim", "call_log.h"), encoding="utf-8") as f:
        constants = dict(re.findall(r'inline constexpr char (\w+)\[\] = "([^"]*)";', f.read()))
    return {name: constants[name] for name in ("CALL_PREFIX", "RESULT_SEPARATOR", "MISUSE_PREFIX",
                                                "INTERNAL_ERROR_PREFIX")}


LOG_FORMAT = call_log_format()


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


GENERATOR = re.compile(r"\$\{(each|lines|repeat) ")


def expand(text):
    """Generated text, for cases with thousands of items: ${each FIRST COUNT TEMPLATE} is COUNT copies
    of TEMPLATE joined by commas, ${lines FIRST COUNT TEMPLATE} the same joined by line feeds, $ID in
    each copy being FIRST, FIRST+1, ... and $NL a line feed; ${repeat COUNT TEXT} is TEXT COUNT times.
    The template runs to the brace that closes the ${, so it may hold braces in pairs."""
    out, at = [], 0
    while match := GENERATOR.search(text, at):
        depth, end = 1, match.end()
        while depth:
            if end == len(text):
                raise CaseError(f"${{{match.group(1)} has no closing brace")
            depth += {"{": 1, "}": -1}.get(text[end], 0)
            end += 1
        body = text[match.end():end - 1]
        if match.group(1) == "repeat":
            count, _, piece = body.partition(" ")
            generated = piece * int(count)
        else:
            first, count, template = body.split(" ", 2)
            copies = (template.replace("$ID", str(int(first) + i)).replace("$NL", "\n") for i in range(int(count)))
            generated = ("," if match.group(1) == "each" else "\n").join(copies)
        out += [text[at:match.start()], generated]
        at = end
    return "".join(out) + text[at:]


# A file being copied is open for writing; a child forked meanwhile by another thread inherits that
# descriptor until it execs, and executing the copy then fails with "Text file busy". Copies and
# starts take turns.
SPAWN_LOCK = threading.Lock()


def place(source, folder):
    """`source` in `folder` under its own name: a hard link, or a copy where the two folders lie on
    different file systems."""
    target = os.path.join(folder, os.path.basename(source))
    try:
        os.link(source, target)
    except OSError:
        shutil.copy(source, target)
    return target


class Runner:
    def __init__(self, options):
        self.options = options
        self.windows = options.platform == "windows"

    def library_file_name(self):
        return "steam_api64.dll" if self.windows else "libsteam_api.so"

    def library_source(self, kind):
        if kind in ("none", "broken"):
            return None
        if kind == "sim":
            return self.options.sim_library
        if kind == "genuine":
            return os.path.join(self.options.genuine_dir or "", self.library_file_name())
        raise CaseError(f"unknown library {kind!r}")

    def place_broken_library(self, folder, env):
        """A file that is no library under the library's name; on Linux the simulator waits on the
        library search path as well, so that a run which went on searching would find it."""
        with open(os.path.join(folder, self.library_file_name()), "wb") as f:
            f.write(b"this is not a shared library\n")
        if not self.windows:
            search = os.path.join(folder, "search")
            os.makedirs(search)
            place(self.options.sim_library, search)
            env["LD_LIBRARY_PATH"] = search

    def run(self, case, folder):
        """Runs one case in `folder`; returns a list of failure texts (empty: passed)."""
        p = self.options.platform
        os.makedirs(folder)
        library_kind = field(case, "library", p, "sim")
        library = self.library_source(library_kind)
        with SPAWN_LOCK:
            exe = place(self.options.exe, folder)
            if library:
                place(library, folder)

        env = {k: v for k, v in os.environ.items() if not k.startswith("STEAM_SIM_")}
        if library_kind == "broken":
            self.place_broken_library(folder, env)
        env.pop("SteamAppId", None)
        env.pop("SteamGameId", None)
        log_path = os.path.join(folder, "sim.log")
        env["STEAM_SIM_LOG"] = windows_path(log_path) if self.windows else log_path
        scenario = field(case, "scenario", p)
        if scenario is not None:
            scenario_path = os.path.join(folder, "scenario.json")
            with open(scenario_path, "w", encoding="utf-8") as f:
                f.write(expand("\n".join(scenario)) + "\n")
            env["STEAM_SIM_SCENARIO"] = windows_path(scenario_path) if self.windows else scenario_path

        args = [a.encode("utf-8", "surrogateescape") for a in json.loads(expand(field(case, "args", p, "[]")))]
        command = ([WINE_RUN, exe] if self.windows else [exe]) + args
        valgrind_log = os.path.join(folder, "valgrind.log")
        if self.options.valgrind:
            # Errors, and memory that nothing points to any more, fail the run. Memory still reachable
            # at the end (the Steam library, loaded for the process's life on purpose) does not.
            command = [self.options.valgrind, "--error-exitcode=99", "--leak-check=full",
                       "--show-leak-kinds=definite,possible", "--errors-for-leak-kinds=definite,possible",
                       f"--log-file={valgrind_log}"] + command
        # Standard output and error go to files by default: a process that inherits them (a Wine
        # helper started by the first run, say) cannot then keep us waiting for their end.
        mode = field(case, "stdout-mode", p, "file")
        if mode == "closed":
            # The child starts with descriptor 1 closed, as a careless parent would leave it.
            command = ["sh", "-c", 'exec "$@" >&-', "sh"] + command
        elif mode == "closed-both":
            command = ["sh", "-c", 'exec "$@" >&- 2>&-', "sh"] + command
        timeout = float(field(case, "timeout", p, "60"))
        stdout_path = os.path.join(folder, "stdout")
        stderr_path = os.path.join(folder, "stderr")
        if mode == "file":
            env["STEAM_SIM_STDOUT"] = windows_path(stdout_path) if self.windows else stdout_path

        close_after = field(case, "close-after", p)
        with open(stdout_path, "wb") as out, open(stderr_path, "wb") as err:
            with SPAWN_LOCK:
                proc = subprocess.Popen(command, cwd=folder, env=env, stdin=subprocess.DEVNULL,
                                        stdout=subprocess.PIPE if mode == "pipe" else out, stderr=err,
                                        start_new_session=True)
            read = []
            hung = False
            if close_after is not None:
                # A reader that goes away mid-run: it takes this many lines, then closes its end.
                reader = threading.Thread(target=read_then_close, args=(proc.stdout, int(close_after), read))
                reader.start()
            try:
                if close_after is not None:
                    proc.wait(timeout=timeout)
                    reader.join()
                    piped = b"".join(read)
                else:
                    piped, _ = proc.communicate(timeout=timeout)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.communicate()
                if field(case, "exit", p) != "hangs" or mode != "file":
                    return [f"no exit within {timeout:g} s"]
                hung = True  # as the case expects: what the run wrote until now is checked as usual
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
        failures = self.compare(case, stdout, "hangs" if hung else proc.returncode, log, stderr, args)
        if self.options.valgrind and proc.returncode == 99:
            with open(valgrind_log, encoding="utf-8", errors="replace") as f:
                failures.append("valgrind reports:\n" + f.read())
        return failures

    def compare(self, case, stdout, status, log, stderr, args):
        p = self.options.platform
        values = {"USAGE": USAGE, "STDOUT_SIZE": str(len(stdout))}
        failures = []
        text = stdout.decode("utf-8", "surrogateescape")

        expected_exit = field(case, "exit", p, "0")
        if status == "hangs" or expected_exit == "hangs":
            if status != expected_exit:
                failures.append(f"exit status {status}, expected the run to hang")
        elif status != int(expected_exit):
            failures.append(f"exit status {status}, expected {expected_exit}")
        if b"\r" in stdout:
            failures.append("standard output holds a CR byte")
        if stdout and not stdout.endswith(b"\n"):
            failures.append("standard output does not end with a line feed")

        exact = field(case, "stdout", p)
        if exact is not None:
            want = "".join(substitute(expand(line), values) + "\n" for line in exact)
            if text != want:
                failures.append("standard output differs:\n" + diff(want, text))
        prefix = field(case, "stdout-prefix", p)
        if prefix is not None:
            want = "\n".join(substitute(expand(line), values) for line in prefix)
            if not text.startswith(want):
                failures.append("standard output does not start as expected:\n" + diff(want, text))

        patterns = field(case, "stdout-match", p)
        if patterns is not None:
            patterns = [pattern for line in patterns for pattern in expand(line).split("\n")]
            lines = text.splitlines()
            if len(lines) != len(patterns):
                failures.append(f"{len(lines)} lines on standard output, expected {len(patterns)}:\n{text[:4000]}")
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
            failures += CHECKS[check](text, [a.decode("utf-8", "surrogateescape") for a in args])
        return failures

    def compare_log(self, case, log, values):
        p = self.options.platform
        lines = log.splitlines()
        failures = [f"simulator reports misuse: {l}" for l in lines if l.startswith(LOG_FORMAT["MISUSE_PREFIX"])]
        # Only the simulator writes there, so anything else came from somewhere it must not: a
        # descriptor of the program's that landed on the log file, say.
        failures += [f"simulator log holds a line that is no library call: {l[:200]!r}" for l in lines
                     if not l.startswith((LOG_FORMAT["CALL_PREFIX"], LOG_FORMAT["MISUSE_PREFIX"]))]
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


def read_then_close(stream, count, lines):
    for _ in range(count):
        line = stream.readline()
        if not line:
            break
        lines.append(line)
    stream.close()


def check_progress_spacing(text, args):
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


def record_keys():
    """The keys of each record kind in their order: the schema's "required" list of the kind, which
    names every key in the order the program writes it."""
    schema_path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "docs",
                               "events.schema.json")
    with open(schema_path, encoding="utf-8") as f:
        definitions = json.load(f)["$defs"]
    return {kind: definitions[kind]["required"]
            for kind in ("ready", "state", "progress", "installed", "done", "error")}


RECORD_KEYS = record_keys()


def check_records(text, args):
    """Every line is one record: UTF-8, one JSON object, the keys of its kind in their order."""
    failures = []
    for number, line in enumerate(text.splitlines(), 1):
        try:
            line.encode("utf-8")
            members = json.loads(line, object_pairs_hook=lambda pairs: pairs)
            keys = [key for key, _ in members]
            kind = dict(members).get("type")
        except (ValueError, TypeError, UnicodeEncodeError) as error:
            failures.append(f"line {number} is not a record ({error}): {line[:200]!r}")
            continue
        if keys != RECORD_KEYS.get(kind):
            failures.append(f"line {number} has the keys {keys}: {line[:200]!r}")
    return failures


def check_per_id(text, args):
    """Every item gets what it is owed, nothing is lost: Ready first; status one State per id in
    command-line order; download one last record (installed or error) per id and nothing after it;
    unsubscribe at most one error per id; Done last exactly when nothing failed."""
    records = [json.loads(line) for line in text.splitlines()]
    # The check is for command lines of plain, distinct ids, so that the ids owed are the arguments
    # themselves; anything else is a mistake in the case.
    ids = args[1:]
    if any(not id.isdigit() or id.startswith("0") for id in ids) or len(set(ids)) != len(ids):
        raise CaseError("check per-id needs a command line of distinct ids without options or leading zeros")
    failures = []
    if not records or records[0]["type"] != "ready":
        return ["the first record is not ready"]
    done = records[-1]["type"] == "done"
    body = records[1:-1] if done else records[1:]
    errors = [r for r in body if r["type"] == "error"]
    if args[0] == "status":
        if [r["workshopId"] for r in body] != ids or any(r["type"] != "state" for r in body):
            failures.append("status did not write one State record per id in order")
    if args[0] == "download":
        owed = {}
        for id in ids:
            owed[id] = owed.get(id, 0) + 1
        for r in body:
            if owed.get(r["workshopId"], 0) == 0:
                failures.append(f"a record for an item that is owed none: {r}")
            elif r["type"] in ("installed", "error"):
                owed[r["workshopId"]] -= 1
        failures += [f"item {id} has no last record" for id, left in owed.items() if left]
    if args[0] == "unsubscribe":
        if sorted(set(r["workshopId"] for r in body)) != sorted(r["workshopId"] for r in body) or \
                any(r["type"] != "error" or r["workshopId"] not in ids for r in body):
            failures.append("unsubscribe wrote something else than one error per failed id")
    if done == bool(errors):
        failures.append(f"done is {'there' if done else 'missing'} with {len(errors)} error records")
    return failures


CHECKS = {"progress": check_progress_spacing, "records": check_records, "per-id": check_per_id}


def diff(want, got):
    if len(want) + len(got) > 4000:  # thousands of records: show where they part
        wanted, written = want.splitlines(), got.splitlines()
        at = next((i for i, (w, g) in enumerate(zip(wanted, written)) if w != g), min(len(wanted), len(written)))
        line = lambda lines: repr(lines[at][:1000]) if at < len(lines) else "(the end)"
        return (f"  {len(wanted)} lines expected, {len(written)} written, first difference in line {at + 1}:\n"
                f"  expected: {line(wanted)}\n  actual:   {line(written)}")
    return "  expected: " + repr(want) + "\n  actual:   " + repr(got)


def simulator_runner(exe, sim_library, platform):
    """A runner for cases on the simulated Steam only, as the other test scripts use it."""
    return Runner(argparse.Namespace(exe=exe, sim_library=sim_library, platform=platform, genuine_dir=None,
                                     valgrind=None))


def report(name, where, failures):
    """Prints how a run went ("ok" or "FAIL" with every failure); 1 when it failed, else 0."""
    if not failures:
        print(f"ok   {name}", flush=True)
        return 0
    print(f"FAIL {name} ({where})")
    for failure in failures:
        print("  " + failure.replace("\n", "\n  "))
    return 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--exe", required=True, help="the built quennet or quennet.exe")
    parser.add_argument("--sim-library", required=True, help="the built simulated Steam library")
    parser.add_argument("--platform", choices=["linux", "windows"], required=True)
    parser.add_argument("--genuine-dir", help="folder holding Valve's own library, if fetched")
    parser.add_argument("--work", required=True, help="folder for the runs (emptied first)")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--only", help="run only cases whose name contains this text")
    parser.add_argument("--valgrind", help="run every case under this valgrind's memcheck (Linux)")
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
            failed += report(case["name"], f"{case['where']}, run in {folder}", failures)
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
