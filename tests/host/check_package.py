#!/usr/bin/env python3
"""Makes the release archives of one build as scripts/release makes them (scripts/archive.py) and
checks them the way a host developer would use them: their names, the files of each component,
nothing that a player must not get beside quennet, only system DLLs imported on Windows, the
version resource, and that quennet from the runtime archive runs beside the simulator from the
testing archive, both unpacked with the permissions the archives carry."""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import tarfile
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tests", "blackbox"))
import run_cases  # noqa: E402  (the black-box runner runs the unpacked program)
sys.path.insert(0, os.path.join(ROOT, "scripts"))
from binary_files import pe_imported_dlls, pe_version  # noqa: E402

# DLLs that every Windows system has; anything else (libstdc++-6.dll, libwinpthread-1.dll, ...) would
# be missing on a player's machine.
SYSTEM_DLLS = {"kernel32.dll", "msvcrt.dll", "advapi32.dll", "user32.dll", "shell32.dll", "ntdll.dll",
               "ws2_32.dll", "bcrypt.dll", "ucrtbase.dll"}
# The archives' names after the version, as the README lists them.
ARCHIVE_NAMES = {"linux": ("linux-x86_64", ".tar.gz"), "windows": ("windows-x64", ".zip")}


def repo_files(folder, pattern="*"):
    base = os.path.join(ROOT, folder)
    return {os.path.relpath(p, ROOT).replace(os.sep, "/")
            for p in glob.glob(os.path.join(base, "**", pattern), recursive=True) if os.path.isfile(p)}


def expected_files(windows):
    exe, library = ("quennet.exe", "steam_api64.dll") if windows else ("quennet", "libsteam_api.so")
    runtime = {exe, "README.md", "LICENSE", "THIRD_PARTY_NOTICES.md"} | repo_files("docs")
    testing = ({f"sim/{library}", "sim/README.md", "sim/LICENSE", "sim/THIRD_PARTY_NOTICES.md"}
               | repo_files("sim/scenarios", "*.json"))
    return {"runtime": runtime, "testing": testing}, exe, library


def file_names(archive):
    """The files (not the folders) that an archive holds."""
    if archive.endswith(".zip"):
        with zipfile.ZipFile(archive) as z:
            return {n for n in z.namelist() if not n.endswith("/")}
    with tarfile.open(archive) as t:
        return {m.name for m in t.getmembers() if m.isfile()}


def extract(archive, folder):
    """Extracts with the permissions stored in the archive, as unzip and tar do."""
    if archive.endswith(".tar.gz"):
        with tarfile.open(archive) as t:
            # Python's "data" filter, where it has one, keeps the permissions and refuses odd members.
            t.extractall(folder, **({"filter": "data"} if hasattr(tarfile, "data_filter") else {}))
        return
    with zipfile.ZipFile(archive) as z:
        for info in z.infolist():
            path = z.extract(info, folder)
            mode = info.external_attr >> 16
            if mode and not info.is_dir():
                os.chmod(path, mode & 0o777)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True, help="the build folder, as cmake --install takes it")
    parser.add_argument("--version", required=True, help="the project version, for example 0.1.0")
    parser.add_argument("--platform", choices=["linux", "windows"], required=True)
    options = parser.parse_args()
    windows = options.platform == "windows"

    out = os.path.abspath(os.path.join(options.build, "package-check"))
    shutil.rmtree(out, ignore_errors=True)
    made = subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "archive.py"), "--build", options.build,
                           "--platform", options.platform, "--version", options.version,
                           "--stage", os.path.join(out, "stage"), "--out", os.path.join(out, "archives"),
                           "--mtime", "0"], capture_output=True, text=True)
    if made.returncode != 0:
        print("scripts/archive.py failed:\n" + made.stdout + made.stderr)
        return 1

    failures = []
    expected, exe, library = expected_files(windows)
    name, suffix = ARCHIVE_NAMES[options.platform]
    archives = {"runtime": os.path.join(out, "archives", f"quennet-{options.version}-{name}{suffix}"),
                "testing": os.path.join(out, "archives", f"quennet-{options.version}-{name}-testing{suffix}")}
    found = sorted(os.listdir(os.path.join(out, "archives")))
    if found != sorted(os.path.basename(p) for p in archives.values()):
        failures.append(f"scripts/archive.py made {found}, expected {sorted(archives.values())}")
        print("\n".join("FAIL " + f for f in failures))
        return 1
    unpacked = os.path.join(out, "unpacked")
    for component, archive in archives.items():
        names = file_names(archive)
        if names != expected[component]:
            failures.append(f"{component}: unexpected {sorted(names - expected[component])}, "
                            f"missing {sorted(expected[component] - names)}")
        extract(archive, unpacked)

    program = os.path.join(unpacked, exe)
    if os.path.exists(os.path.join(unpacked, library)):
        failures.append(f"the simulator lands beside {exe} when both archives are unpacked")
    if windows:
        for binary in (program, os.path.join(unpacked, "sim", library)):
            foreign = {d for d in pe_imported_dlls(binary) if d.lower() not in SYSTEM_DLLS}
            if foreign:
                failures.append(f"{os.path.basename(binary)} imports DLLs that are not Windows' own: {sorted(foreign)}")
        major, minor, patch = (int(n) for n in options.version.split("."))
        want = (major, minor, patch, 0)
        found_version = pe_version(open(program, "rb").read())
        if found_version != (want, want):
            failures.append(f"{exe} has file and product version {found_version}, expected {want}")

    # A host's test setup: the simulator from the testing archive beside quennet from the runtime
    # one, run by the black-box runner (which copies both into a folder of their own).
    runner = run_cases.simulator_runner(program, os.path.join(unpacked, "sim", library), options.platform)
    trial = runner.run({"name": "whoami", "args": '["whoami"]', "stdout": [
        '{"type":"ready","steamId":"76561198000000000","persona":"Survivor"}', '{"type":"done"}']},
        os.path.join(out, "trial"))
    failures += [f"the unpacked {exe} beside the unpacked simulator: {f}" for f in trial]

    for failure in failures:
        print("FAIL " + failure)
    print(f"{len(archives)} archives checked in {out}: {'ok' if not failures else 'failed'}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
