#!/usr/bin/env python3
"""Writes quennet's npm packages as tarballs into one folder, reproducibly (scripts/archive.py packs
them: sorted entries, one time stamp, owner root, fixed permissions):

    quennet-<v>.tgz                      the Node.js package, whose optional dependencies are
    quennet-linux-x64-<v>.tgz            @quennet/linux-x64: bin/quennet and Valve's libsteam_api.so
    quennet-win32-x64-<v>.tgz            @quennet/win32-x64: bin/quennet.exe and Valve's steam_api64.dll
    quennet-testing-<v>.tgz              @quennet/testing: simulatedSteam(), whose optional dependencies are
    quennet-testing-linux-x64-<v>.tgz    quennet beside the simulated libsteam_api.so, and the scenarios
    quennet-testing-win32-x64-<v>.tgz    quennet.exe beside the simulated steam_api64.dll, and the scenarios

A platform's packages are written when its build is given, as `cmake --install` lays out the
runtime and testing components under <stage>/runtime and <stage>/testing. Valve's library comes
from the folder scripts/fetch-steamworks fills and must have the SHA-256 pinned in
scripts/steamworks.sha256.

    npm_packages.py --out <folder> --mtime <seconds> [--linux <stage>] [--windows <stage>]
"""

import argparse
import json
import os
import re
import shutil
import sys
import tempfile

import archive
import steamworks as steamworks_pins

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
NODE = os.path.join(ROOT, "clients", "node")
TESTING = os.path.join(NODE, "testing")

# Per platform, Valve's redistributable Steam library under .cache/steamworks/ (pinned in
# scripts/steamworks.sha256).
PLATFORMS = {
    "linux": {"npm": "linux-x64", "os": "linux", "program": "quennet", "library": "libsteam_api.so",
              "valve": "linux/libsteam_api.so"},
    "windows": {"npm": "win32-x64", "os": "win32", "program": "quennet.exe", "library": "steam_api64.dll",
                "valve": "windows/steam_api64.dll"},
}


def fail(text):
    sys.exit(f"npm_packages: {text}")


def read_manifest(folder, version):
    """The package.json of a package in the tree, checked: the release's version, and its platform
    packages at exactly that version."""
    manifest = json.load(open(os.path.join(folder, "package.json")))
    if manifest["version"] != version:
        fail(f"{folder}/package.json has version {manifest['version']}, the release is {version}")
    for name, wanted in manifest.get("optionalDependencies", {}).items():
        if wanted != version:
            fail(f"{folder}/package.json wants {name}@{wanted}, the release is {version}")
    return manifest


def copy(source, stage, name, executable=False):
    target = os.path.join(stage, "package", name)
    os.makedirs(os.path.dirname(target), exist_ok=True)
    shutil.copyfile(source, target)
    os.chmod(target, 0o755 if executable else 0o644)


def copy_listed(folder, manifest, stage):
    """package.json, README.md and what its "files" names, as npm would publish them."""
    for entry in ["package.json", "README.md"] + manifest["files"]:
        source = os.path.join(folder, entry)
        if not os.path.isdir(source):
            copy(source, stage, entry)
        for base, _, files in os.walk(source):
            for name in files:
                path = os.path.join(base, name)
                copy(path, stage, os.path.relpath(path, folder))
    copy(os.path.join(ROOT, "LICENSE"), stage, "LICENSE")


def write_manifest(stage, manifest):
    os.makedirs(os.path.join(stage, "package"), exist_ok=True)
    with open(os.path.join(stage, "package", "package.json"), "w") as f:
        f.write(json.dumps(manifest, indent=2) + "\n")


def platform_manifest(name, version, platform, description):
    return {"name": name, "version": version, "description": description,
            "license": "SEE LICENSE IN THIRD_PARTY_NOTICES.md", "os": [platform["os"]], "cpu": ["x64"],
            "preferUnplugged": True}


def valve_library(steamworks, platform):
    relative = platform["valve"]
    pinned = steamworks_pins.pinned()[relative]
    path = os.path.join(steamworks, relative)
    if not os.path.exists(path):
        fail(f"{path} is missing: scripts/fetch-steamworks fetches it")
    digest = steamworks_pins.digest_of(path)
    if digest != pinned:
        fail(f"{path} has SHA-256 {digest}, not the pinned {pinned}")
    return path


def runtime_package(stage, platform, version, steamworks):
    name = f"@quennet/{platform['npm']}"
    runtime = os.path.join(stage, "runtime")
    out = tempfile.mkdtemp()
    write_manifest(out, platform_manifest(
        name, version, platform, f"quennet for {platform['npm']} with Valve's Steam library beside it; "
        "the quennet package installs it"))
    copy(os.path.join(runtime, platform["program"]), out, f"bin/{platform['program']}", executable=True)
    copy(valve_library(steamworks, platform), out, f"bin/{platform['library']}")
    for notice in ("LICENSE", "THIRD_PARTY_NOTICES.md"):
        copy(os.path.join(runtime, notice), out, notice)
    with open(os.path.join(out, "package", "README.md"), "w") as f:
        f.write(f"# {name}\n\nquennet {version} for {platform['npm']}, with Valve's redistributable Steam library "
                f"`{platform['library']}` beside it in `bin/`. Install the `quennet` package, not this one: it "
                "takes this package as an optional dependency on this platform and finds the program in it. "
                "THIRD_PARTY_NOTICES.md says where Valve's library comes from and under which terms.\n")
    return name, out


def testing_package(stage, platform, version):
    name = f"@quennet/testing-{platform['npm']}"
    testing = os.path.join(stage, "testing", "sim")
    out = tempfile.mkdtemp()
    write_manifest(out, platform_manifest(
        name, version, platform, f"quennet for {platform['npm']} beside the simulated Steam client, for "
        "tests; @quennet/testing installs it"))
    copy(os.path.join(stage, "runtime", platform["program"]), out, f"bin/{platform['program']}", executable=True)
    copy(os.path.join(testing, platform["library"]), out, f"bin/{platform['library']}")
    for scenario in sorted(os.listdir(os.path.join(testing, "scenarios"))):
        copy(os.path.join(testing, "scenarios", scenario), out, f"scenarios/{scenario}")
    for notice in ("README.md", "LICENSE", "THIRD_PARTY_NOTICES.md"):
        copy(os.path.join(testing, notice), out, notice)
    return name, out


def source_package(folder, version):
    manifest = read_manifest(folder, version)
    out = tempfile.mkdtemp()
    copy_listed(folder, manifest, out)
    return manifest["name"], out


def tarball_name(name, version):
    # As `npm pack` names them: the scope's @ dropped and its slash made a dash.
    return f"{name.lstrip('@').replace('/', '-')}-{version}.tgz"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True)
    parser.add_argument("--mtime", type=int, required=True)
    parser.add_argument("--linux", help="the Linux build's install stage (runtime/, testing/)")
    parser.add_argument("--windows", help="the Windows build's install stage (runtime/, testing/)")
    parser.add_argument("--steamworks", default=os.path.join(ROOT, ".cache", "steamworks"))
    options = parser.parse_args()
    cmake = open(os.path.join(ROOT, "CMakeLists.txt")).read()
    version = re.search(r"^project\(quennet VERSION ([0-9.]+)", cmake, re.M).group(1)

    packages = [source_package(NODE, version), source_package(TESTING, version)]
    for key, platform in PLATFORMS.items():
        stage = getattr(options, key)
        if stage:
            packages += [runtime_package(stage, platform, version, options.steamworks),
                         testing_package(stage, platform, version)]
    os.makedirs(options.out, exist_ok=True)
    for name, staged in packages:
        target = os.path.join(options.out, tarball_name(name, version))
        archive.write_tar_gz(staged, target, options.mtime)
        shutil.rmtree(staged)
        print(target)


if __name__ == "__main__":
    main()
