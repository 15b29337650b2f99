#!/usr/bin/env python3
"""The release archives of one build, the one way they are made (scripts/release, and the host
check of every test build): cmake --install of each component into a stage folder, then each stage
packed into a .zip (Windows) or .tar.gz (Linux) that depends on nothing but the files' contents:
names in sorted order, every time stamp set to one given time (the release's commit), owner root
with no names, permissions 0755 for folders and executables and 0644 for everything else, and no
name or time in the gzip header.

    archive.py --build <build folder> --platform linux|windows --version <x.y.z>
               --stage <folder> --out <folder> --mtime <seconds since 1970>

writes <out>/quennet-<version>-<platform>.<suffix> (the runtime component) and
<out>/quennet-<version>-<platform>-testing.<suffix> (the testing one), and prints their paths. The
stage keeps each component's files, in <stage>/runtime and <stage>/testing, for the packages made
from them.
"""

import argparse
import gzip
import io
import os
import shutil
import subprocess
import tarfile
import time
import zipfile


def entries(folder):
    """(relative path with '/', absolute path, is folder) of everything below `folder`, sorted."""
    found = []
    for base, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(base, name)
            relative = os.path.relpath(path, folder).replace(os.sep, "/")
            found.append((relative, path, os.path.isdir(path)))
    return sorted(found)


def mode_of(path, is_folder):
    return 0o755 if is_folder or os.access(path, os.X_OK) else 0o644


def write_zip(folder, archive, mtime):
    # ZIP keeps local time in two-second steps from 1980 on; the commit's UTC time is written as is.
    stamp = time.gmtime(max(mtime, 315532800))[:6]
    with zipfile.ZipFile(archive, "w") as z:
        for relative, path, is_folder in entries(folder):
            info = zipfile.ZipInfo(relative + ("/" if is_folder else ""), date_time=stamp)
            info.create_system = 3  # Unix, so that the permissions below are read back
            info.external_attr = ((0o040000 if is_folder else 0o100000) | mode_of(path, is_folder)) << 16
            if is_folder:
                z.writestr(info, b"")
            else:
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as f:
                    z.writestr(info, f.read(), compresslevel=9)


def write_tar_gz(folder, archive, mtime):
    data = io.BytesIO()
    with tarfile.open(fileobj=data, mode="w", format=tarfile.GNU_FORMAT) as tar:
        for relative, path, is_folder in entries(folder):
            info = tar.gettarinfo(path, arcname=relative)
            info.mtime = mtime
            info.mode = mode_of(path, is_folder)
            info.uid = info.gid = 0
            info.uname = info.gname = ""
            if is_folder:
                tar.addfile(info)
            else:
                with open(path, "rb") as f:
                    tar.addfile(info, f)
    with open(archive, "wb") as raw:
        with gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=0, compresslevel=9) as z:
            z.write(data.getvalue())


# Per platform: the archives' names after the version, and how they are packed.
PLATFORMS = {
    "linux": ("linux-x86_64", ".tar.gz", write_tar_gz),
    "windows": ("windows-x64", ".zip", write_zip),
}
# The components of cmake/packaging.cmake, and the name each archive adds for it.
COMPONENTS = {"runtime": "", "testing": "-testing"}


def release_archives(build, platform, version, stage, out, mtime):
    """Installs each component of `build` into `stage` and packs it into `out`; returns the archives'
    paths by component."""
    name, suffix, write = PLATFORMS[platform]
    shutil.rmtree(stage, ignore_errors=True)
    os.makedirs(out, exist_ok=True)
    archives = {}
    for component, extra in COMPONENTS.items():
        folder = os.path.join(stage, component)
        subprocess.run(["cmake", "--install", build, "--component", component, "--prefix", folder],
                       check=True, stdout=subprocess.DEVNULL)
        archives[component] = os.path.join(out, f"quennet-{version}-{name}{extra}{suffix}")
        write(folder, archives[component], mtime)
    return archives


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", required=True)
    parser.add_argument("--platform", choices=sorted(PLATFORMS), required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--stage", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--mtime", type=int, required=True)
    options = parser.parse_args()
    archives = release_archives(options.build, options.platform, options.version, options.stage, options.out,
                                options.mtime)
    for archive in archives.values():
        print(archive)


if __name__ == "__main__":
    main()
