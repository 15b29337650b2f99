#!/usr/bin/env python3
"""Writes the wheel of the Python package (clients/python) for one platform: the package, quennet
and Valve's Steam library beside it in quennet/bin/, so that `pip install` brings a working quennet.
The bytes depend only on the inputs: entries in sorted order, one time stamp (the release's commit),
fixed permissions. The platform tag comes from the program itself: win_amd64 for quennet.exe, and
for the Linux program the manylinux tag of the newest glibc symbol version that it or Valve's
library needs. Valve's library must be the one pinned below (scripts/fetch-steamworks fetches it).

    wheel.py --program <quennet|quennet.exe> --library <libsteam_api.so|steam_api64.dll>
             --out <folder> [--mtime <seconds since 1970>]

Prints the wheel's path. Exit status 77 when Valve's library is missing (the npm registry could not
be reached).
"""

import argparse
import base64
import hashlib
import os
import re
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from archive import write_zip  # noqa: E402
from binary_files import elf_glibc_versions  # noqa: E402
from steamworks import digest_of, pinned_digest  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PACKAGE = os.path.join(ROOT, "clients", "python")
SKIP = 77
SUMMARY = "Manage DayZ Steam Workshop items through the local Steam client, with quennet in a separate process"


def version():
    text = open(os.path.join(ROOT, "CMakeLists.txt")).read()
    project = re.search(r"^project\(quennet VERSION ([0-9.]+)", text, re.M).group(1)
    package = re.search(r'^__version__ = "([^"]+)"', open(os.path.join(PACKAGE, "quennet", "__init__.py")).read(), re.M)
    if package is None or package.group(1) != project:
        sys.exit(f"wheel: clients/python/quennet/__init__.py's __version__ is not {project}, the version of CMakeLists.txt")
    return project


def newest_glibc(paths):
    """(major, minor) of the newest glibc symbol version that any of the binaries needs."""
    return max((version[:2] for path in paths for version in elf_glibc_versions(path)), default=(0, 0))


def platform_tag(program, library):
    if program.endswith(".exe"):
        return "win_amd64"
    major, minor = newest_glibc([program, library])
    return f"manylinux_{major}_{minor}_x86_64"


def check_library(library):
    name = os.path.basename(library)
    if not os.path.isfile(library):
        print(f"wheel: Valve's {name} is missing ({library}): scripts/fetch-steamworks could not fetch it", file=sys.stderr)
        sys.exit(SKIP)
    digest = digest_of(library)
    if pinned_digest(name) != digest:
        sys.exit(f"wheel: {library} is not Valve's library as pinned (SHA-256 {digest})")


def metadata(version):
    readme = open(os.path.join(PACKAGE, "README.md"), encoding="utf-8").read()
    return (f"Metadata-Version: 2.1\nName: quennet\nVersion: {version}\nSummary: {SUMMARY}\n"
            "License: MIT\nRequires-Python: >=3.8\nDescription-Content-Type: text/markdown\n\n" + readme)


def stage(folder, program, library, version, tag):
    """The wheel's files in `folder`; returns their paths relative to it, RECORD last."""
    package = os.path.join(folder, "quennet")
    info = os.path.join(folder, f"quennet-{version}.dist-info")
    os.makedirs(os.path.join(package, "bin"))
    os.makedirs(info)
    for name in sorted(os.listdir(os.path.join(PACKAGE, "quennet"))):
        if name.endswith(".py") or name == "py.typed":
            shutil.copyfile(os.path.join(PACKAGE, "quennet", name), os.path.join(package, name))
    shutil.copyfile(program, os.path.join(package, "bin", os.path.basename(program)))
    os.chmod(os.path.join(package, "bin", os.path.basename(program)), 0o755)
    shutil.copyfile(library, os.path.join(package, "bin", os.path.basename(library)))
    for name in ("LICENSE", "THIRD_PARTY_NOTICES.md"):
        shutil.copyfile(os.path.join(ROOT, name), os.path.join(info, name))
    with open(os.path.join(info, "METADATA"), "w", encoding="utf-8", newline="\n") as f:
        f.write(metadata(version))
    with open(os.path.join(info, "WHEEL"), "w", newline="\n") as f:
        f.write(f"Wheel-Version: 1.0\nGenerator: quennet scripts/wheel.py\nRoot-Is-Purelib: false\nTag: py3-none-{tag}\n")

    lines = []
    for base, _, files in sorted(os.walk(folder)):
        for name in sorted(files):
            path = os.path.join(base, name)
            data = open(path, "rb").read()
            digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
            lines.append(f"{os.path.relpath(path, folder).replace(os.sep, '/')},sha256={digest},{len(data)}")
    record = f"quennet-{version}.dist-info/RECORD"
    with open(os.path.join(folder, record), "w", newline="\n") as f:
        f.write("\n".join(sorted(lines) + [f"{record},,"]) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True)
    parser.add_argument("--library", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--mtime", type=int, default=int(os.environ.get("SOURCE_DATE_EPOCH", "315532800")))
    options = parser.parse_args()
    check_library(options.library)
    v = version()
    tag = platform_tag(options.program, options.library)
    wheel = os.path.join(options.out, f"quennet-{v}-py3-none-{tag}.whl")
    os.makedirs(options.out, exist_ok=True)
    with tempfile.TemporaryDirectory() as folder:
        stage(folder, options.program, options.library, v, tag)
        write_zip(folder, wheel, options.mtime)
    print(wheel)


if __name__ == "__main__":
    main()
