#!/usr/bin/env python3
"""The release, checked the way it is shipped:

- reproducible: scripts/release run in two fresh clones of the current commit, in folders of
  different names and at different times, must give byte-identical dist/ folders, and no archive
  may hold either clone's path;
- for every user: the first of the two is built by an ordinary user with passwordless sudo, made
  for the check and removed after it, who also runs scripts/bootstrap's sudo path, the demo and
  scripts/clean in that clone, which must then hold nothing of root's and be as git cloned it;
- portable: the Linux program and simulated library of the archives may need only glibc (and
  libgcc_s), and no glibc symbol newer than 2.31; `quennet whoami` and a short `download` must work
  inside the Debian 11 root, beside the simulated library from the testing archive;
- the same program: every black-box case passes against the released Linux program and simulator,
  which Debian 11's compiler builds rather than the one the rest of the suite tests;
- the npm packages (dist/npm/) carry the released programs, and Valve's library of the pinned hash;
- versioned: the archives carry the version of CMakeLists.txt, which CHANGELOG.md and the Windows
  version resource show too;
- the wheels hold the released programs themselves beside Valve's library, and the Linux wheel's
  manylinux tag is what its programs need.

Exit status 77 (skipped) when the Debian 11 root cannot be made because Debian's archive cannot be
reached, or when neither root nor sudo is there, which scripts/release needs; the user's part is
skipped when sudo cannot be installed. It checks the current
commit (the clones cannot see uncommitted changes).

    check_release.py [--work build/release-check]
"""

import argparse
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tarfile
import tempfile
import threading
import time
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "scripts"))
from binary_files import elf_glibc_versions, elf_needed, pe_version  # noqa: E402
SKIP = 77
NEWEST_GLIBC = (2, 31)
# Everything glibc itself provides, and libgcc_s, which every glibc system has.
ALLOWED_NEEDED = {"libc.so.6", "libm.so.6", "libdl.so.2", "libpthread.so.0", "librt.so.1",
                  "ld-linux-x86-64.so.2", "libgcc_s.so.1"}

failures = []


def check(ok, text):
    print(f"{'ok  ' if ok else 'FAIL'} {text}", flush=True)
    if not ok:
        failures.append(text)


def run(command, **options):
    return subprocess.run(command, check=True, **options)


def sudo():
    return [] if os.geteuid() == 0 else ["sudo"]


def version():
    text = open(os.path.join(ROOT, "CMakeLists.txt")).read()
    return re.search(r"^project\(quennet VERSION ([0-9.]+)", text, re.M).group(1)


def release_in_clone(folder, bullseye_root, as_user=None):
    """A fresh clone of the current commit in `folder`, and scripts/release run in it, by `as_user`
    (a SudoUser) when given: the clone is then that user's."""
    commit = run(["git", "-C", ROOT, "rev-parse", "HEAD"], capture_output=True, text=True).stdout.strip()
    shutil.rmtree(folder, ignore_errors=True)
    # Without hard links: the clone may be handed to another user, and a chown through a link
    # would hand over this repository's own objects too.
    run(["git", "clone", "-q", "--no-hardlinks", "--no-checkout", ROOT, folder])
    run(["git", "-C", folder, "checkout", "-q", "--detach", commit])
    command = [os.path.join(folder, "scripts", "release")]
    if as_user:
        as_user.take(folder)
        command = as_user.command(command, QUENNET_BULLSEYE_ROOT=bullseye_root)
    print(f"     scripts/release in {folder}{' as the user ' + as_user.name if as_user else ''}:", flush=True)
    started = time.monotonic()
    status, _ = stream(command, env=dict(os.environ, QUENNET_BULLSEYE_ROOT=bullseye_root))
    if status != 0:
        sys.exit(f"check_release: scripts/release failed in {folder} (exit status {status})")
    print(f"     scripts/release in {folder}: {time.monotonic() - started:.0f} s", flush=True)
    return os.path.join(folder, "dist")


def release_files(dist):
    """Every file of a release, by its path under dist/ (the npm tarballs are in dist/npm/)."""
    return sorted(os.path.relpath(os.path.join(base, name), dist) for base, _, files in os.walk(dist) for name in files)
def stream(command, every=0, **options):
    """Runs a command with its output shown as it comes, indented, or else a line every `every`
    seconds (its latest, even while it writes nothing); returns its exit status and its lines."""
    lines, shown, done = [], [time.monotonic()], threading.Event()

    def show(line):
        print(f"       {'... ' if every else ''}{line}", flush=True)
        shown[0] = time.monotonic()

    def tick():
        while not done.wait(1):
            if time.monotonic() - shown[0] >= every:
                show(lines[-1] if lines else "working")

    if every:
        threading.Thread(target=tick, daemon=True).start()
    with subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                          **options) as process:
        for line in process.stdout:
            lines.append(line.rstrip("\n"))
            if not every:
                show(lines[-1])
    done.set()
    return process.returncode, lines


class SudoUser:
    """An ordinary user with passwordless sudo, made for the checks and removed after them: the
    scripts' sudo path, run for real. Needs root or sudo; installs sudo when it is missing (and
    removes it again)."""

    name = "quennet-check"

    def __init__(self):
        self.installed_sudo = False
        self.work = None

    def create(self):
        """Makes the user; returns None, or why sudo could not be installed."""
        if not shutil.which("sudo"):
            print("     installing sudo (apt-get install sudo)", flush=True)
            done = subprocess.run(["apt-get", "-q", "install", "-y", "--no-install-recommends", "sudo"],
                                  env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"),
                                  capture_output=True, text=True)
            if done.returncode != 0 or not shutil.which("sudo"):
                return " ".join((done.stdout + done.stderr).strip().splitlines()[-1:])
            self.installed_sudo = True
        self.remove_user()
        run(sudo() + ["useradd", "--create-home", "--shell", "/bin/sh", self.name])
        rule = f"{self.name} ALL=(ALL) NOPASSWD: ALL\n"
        run(sudo() + ["sh", "-c", f"printf '{rule}' >{self.sudoers} && chmod 440 {self.sudoers}"])
        self.home = os.path.expanduser(f"~{self.name}")
        self.work = tempfile.mkdtemp(prefix="quennet-sudo-user.", dir="/var/tmp")
        os.chmod(self.work, 0o755)
        return None

    @property
    def sudoers(self):
        return f"/etc/sudoers.d/{self.name}"

    def take(self, folder):
        """Hands `folder` to the user."""
        run(sudo() + ["chown", "-R", f"{self.name}:{self.name}", folder])

    def command(self, command, **variables):
        """`command` as the user, with a login's plain environment and `variables`."""
        extra = [f"{k}={v}" for k, v in variables.items()]
        return sudo() + ["setpriv", f"--reuid={self.name}", f"--regid={self.name}", "--init-groups",
                         "env", "-i", f"HOME={self.home}", f"USER={self.name}", f"LOGNAME={self.name}",
                         "PATH=/usr/local/bin:/usr/bin:/bin", "LANG=C.UTF-8", *extra, *command]

    def remove_user(self):
        subprocess.run(sudo() + ["rm", "-f", self.sudoers])
        if subprocess.run(["id", self.name], capture_output=True).returncode == 0:
            run(sudo() + ["userdel", "--remove", self.name], stderr=subprocess.DEVNULL)

    def remove(self):
        self.remove_user()
        if self.work:
            run(sudo() + ["rm", "-rf", self.work])
        if self.installed_sudo:
            subprocess.run(["apt-get", "-q", "purge", "-y", "sudo"], capture_output=True)


def check_sudo_user(user, clone, bullseye_root):
    """As the sudo user, in the clone it released from: scripts/bootstrap's sudo path (a package
    that the user's dpkg-query reports missing is installed through the real sudo and apt-get), the
    demo, nothing of root's left in the clone, and scripts/clean giving back what git cloned."""
    stubs = os.path.join(user.work, "stubs")
    os.makedirs(stubs)
    with open(os.path.join(stubs, "dpkg-query"), "w") as f:
        f.write('#!/bin/sh\ncase "$*" in *ninja-build*) exit 1 ;; esac\nexec /usr/bin/dpkg-query "$@"\n')
    os.chmod(os.path.join(stubs, "dpkg-query"), 0o755)

    def as_user(*command, path="/usr/local/bin:/usr/bin:/bin"):
        print(f"     as {user.name}: {' '.join(command)}", flush=True)
        return stream(user.command(list(command), PATH=path, QUENNET_BULLSEYE_ROOT=bullseye_root), cwd=clone)[0]

    status = as_user("scripts/bootstrap", "demo", path=f"{stubs}:/usr/local/bin:/usr/bin:/bin")
    log = open(os.path.join(clone, "build", "bootstrap.log")).read() if status == 0 else ""
    check(status == 0 and "ninja-build" in log, f"as a user with sudo, scripts/bootstrap installs through sudo: "
          f"exit status {status}")
    status = as_user("scripts/demo")
    state = os.path.join(clone, "build", "demo", "demo-state.json")
    check(status == 0 and os.path.exists(state), f"as a user with sudo, scripts/demo runs: exit status {status}")
    roots = [os.path.join(top, name) for top, folders, files in os.walk(clone) for name in folders + files
             if os.lstat(os.path.join(top, name)).st_uid == 0]
    check(not roots, f"nothing in the user's clone is root's: {roots[:5]}")
    status = as_user("scripts/clean", "--keep-root")
    left = run(user.command(["git", "-C", clone, "status", "--porcelain", "--ignored"]), capture_output=True,
               text=True).stdout
    check(status == 0 and not left, f"scripts/clean leaves the clone as git cloned it: {left.split()[:6]}")


def compare(first, second, paths):
    names = release_files(first)
    check(names == release_files(second), f"both releases hold the same files: {', '.join(names)}")
    for name in names:
        a = open(os.path.join(first, name), "rb").read()
        b = open(os.path.join(second, name), "rb").read() if os.path.exists(os.path.join(second, name)) else None
        check(a == b, f"{name} is byte-identical in both releases")
        for path in paths:
            for member, data in members(os.path.join(first, name)):
                if path.encode() in data:
                    check(False, f"{name}:{member} holds the build path {path}")
    sums = open(os.path.join(first, "SHA256SUMS")).read().split("\n")
    check(len([s for s in sums if s]) == len(names) - 1, "SHA256SUMS lists every archive")
    check(subprocess.run(["sha256sum", "--check", "--quiet", "SHA256SUMS"], cwd=first).returncode == 0,
          "sha256sum --check SHA256SUMS passes")


def members(archive):
    """(name, bytes) of every file in a release archive."""
    if archive.endswith((".zip", ".whl")):
        with zipfile.ZipFile(archive) as z:
            return [(i.filename, z.read(i)) for i in z.infolist() if not i.is_dir()]
    if archive.endswith((".tar.gz", ".tgz")):
        with tarfile.open(archive) as t:
            return [(m.name, t.extractfile(m).read()) for m in t.getmembers() if m.isfile()]
    return []


def check_wheels(dist, v):
    """Each wheel holds the released program itself, beside Valve's library, and the Linux wheel's
    manylinux tag is the newest glibc symbol version that the two need."""
    wheels = {name.rsplit("-", 1)[1][:-len(".whl")]: name for name in os.listdir(dist) if name.endswith(".whl")}
    linux = [tag for tag in wheels if tag.startswith("manylinux_")]
    check(len(wheels) == 2 and "win_amd64" in wheels and len(linux) == 1, f"a Linux and a Windows wheel: {sorted(wheels.values())}")
    if len(linux) != 1 or "win_amd64" not in wheels:
        return
    for wheel, archive, program, library in ((wheels[linux[0]], f"quennet-{v}-linux-x86_64.tar.gz", "quennet", "libsteam_api.so"),
                                             (wheels["win_amd64"], f"quennet-{v}-windows-x64.zip", "quennet.exe", "steam_api64.dll")):
        inside = dict(members(os.path.join(dist, wheel)))
        released = dict(members(os.path.join(dist, archive)))[program]
        check(inside.get(f"quennet/bin/{program}") == released, f"{wheel} holds the {program} of {archive}")
        check(f"quennet/bin/{library}" in inside, f"{wheel} holds Valve's {library} beside it")
    with tempfile.TemporaryDirectory() as folder:
        zipfile.ZipFile(os.path.join(dist, wheels[linux[0]])).extractall(folder)
        newest = max(glibc_and_needed(os.path.join(folder, "quennet", "bin", name))[0]
                     for name in ("quennet", "libsteam_api.so"))
    check(linux[0] == f"manylinux_{newest[0]}_{newest[1]}_x86_64",
          f"the Linux wheel's tag {linux[0]} is the newest glibc its programs need: {'.'.join(map(str, newest))}")


def glibc_and_needed(path):
    return max(elf_glibc_versions(path)), elf_needed(path)


def check_portable(dist, name, bullseye_root):
    folder = os.path.join(bullseye_root, "opt", "quennet-check")
    run(sudo() + ["rm", "-rf", folder])
    run(sudo() + ["mkdir", "-p", folder])
    for archive in (f"{name}.tar.gz", f"{name}-testing.tar.gz"):
        run(sudo() + ["tar", "-xzf", os.path.join(dist, archive), "-C", folder])
    for binary in ("quennet", "sim/libsteam_api.so"):
        newest, needed = glibc_and_needed(os.path.join(folder, binary))
        check(newest <= NEWEST_GLIBC, f"{binary}: newest glibc symbol version {'.'.join(map(str, newest))}, "
              f"at most {'.'.join(map(str, NEWEST_GLIBC))}")
        check(needed <= ALLOWED_NEEDED, f"{binary}: needs only glibc and libgcc_s: {', '.join(sorted(needed))}")
    run(sudo() + ["cp", os.path.join(folder, "sim", "libsteam_api.so"), folder])

    def in_root(*args):
        # With /proc, as on any real system: quennet finds the library beside itself through it.
        script = 'mount -t proc proc "$0/proc" && exec chroot "$0" /usr/bin/env -i PATH=/usr/bin:/bin "$@"'
        return subprocess.run(sudo() + ["unshare", "--mount", "--propagation", "private", "sh", "-c", script,
                                        bullseye_root, "/opt/quennet-check/quennet", *args],
                              capture_output=True, text=True)

    release = open(os.path.join(bullseye_root, "etc", "debian_version")).read().strip()
    whoami = in_root("whoami")
    lines = whoami.stdout.splitlines()
    check(whoami.returncode == 0 and len(lines) == 2 and lines[0].startswith('{"type":"ready"')
          and lines[1] == '{"type":"done"}', f"quennet whoami runs in the Debian {release} root: {lines}")
    download = in_root("download", "1111111111", "--timeout-secs", "60")
    lines = download.stdout.splitlines()
    check(download.returncode == 0 and any(line.startswith('{"type":"installed"') for line in lines)
          and lines[-1:] == ['{"type":"done"}'], f"quennet download 1111111111 runs in the Debian {release} root: "
          f"exit status {download.returncode}, {len(lines)} records")
    run(sudo() + ["rm", "-rf", folder])


def check_shipped_cases(dist, name, work):
    """The black-box cases against the released Linux program and simulator themselves: the release
    is built by another compiler (Debian 11's) than the one the rest of the suite tests."""
    folder = os.path.join(work, "shipped")
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    for archive in (f"{name}.tar.gz", f"{name}-testing.tar.gz"):
        run(["tar", "-xzf", os.path.join(dist, archive), "-C", folder])
    cases = sorted(os.path.join(ROOT, "tests", "cases", f) for f in os.listdir(os.path.join(ROOT, "tests", "cases"))
                   if f.endswith(".cases"))
    print("     the black-box cases against the released Linux program:", flush=True)
    status, lines = stream([sys.executable, os.path.join(ROOT, "tests", "blackbox", "run_cases.py"),
                            "--exe", os.path.join(folder, "quennet"),
                            "--sim-library", os.path.join(folder, "sim", "libsteam_api.so"),
                            "--platform", "linux", "--genuine-dir", os.path.join(ROOT, ".cache", "steamworks", "linux"),
                            "--work", os.path.join(folder, "runs"), *cases], every=10)
    if status != 0:
        sys.stdout.write("\n".join(lines[-40:]) + "\n")
    check(status == 0, f"the black-box cases pass against the released Linux program: {lines[-1:]}")


def check_npm_programs(dist, v):
    """The npm platform packages carry the programs of the release archives, not those of another
    build, and Valve's library of the pinned SHA-256 beside them."""
    from npm_packages import PLATFORMS  # noqa: E402
    from steamworks import pinned  # noqa: E402  (the pinned hashes, kept once)
    for archive, platform in ((f"quennet-{v}-linux-x86_64.tar.gz", PLATFORMS["linux"]),
                              (f"quennet-{v}-windows-x64.zip", PLATFORMS["windows"])):
        program, library = platform["program"], platform["library"]
        released = dict(members(os.path.join(dist, archive)))[program]
        for package in (platform["npm"], f"testing-{platform['npm']}"):
            files = dict(members(os.path.join(dist, "npm", f"quennet-{package}-{v}.tgz")))
            check(files.get(f"package/bin/{program}") == released, f"npm/quennet-{package}-{v}.tgz holds the {program} of {archive}")
        files = dict(members(os.path.join(dist, "npm", f"quennet-{platform['npm']}-{v}.tgz")))
        digest = hashlib.sha256(files.get(f"package/bin/{library}", b"")).hexdigest()
        check(digest == pinned()[platform["valve"]], f"npm/quennet-{platform['npm']}-{v}.tgz holds Valve's {library}: {digest}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--work", default=os.path.join(ROOT, "build", "release-check"))
    options = parser.parse_args()

    if os.geteuid() != 0 and not shutil.which("sudo"):
        print("skip: building in and running the Debian 11 root needs root or sudo")
        return SKIP
    # Its phases go straight through: making the root takes minutes.
    made = subprocess.run([os.path.join(ROOT, "scripts", "bullseye-root")], stdout=subprocess.PIPE, text=True)
    if made.returncode == SKIP:
        print("skip: Debian's archive cannot be reached, so there is no Debian 11 root")
        return SKIP
    if made.returncode != 0:
        return 1
    bullseye_root = made.stdout.strip()

    # The first release is built by a user with sudo, from that user's clone; the second by whoever
    # runs this. Different names and depths, and different times: the second run starts after the
    # first ends.
    user = SudoUser()
    try:
        why = user.create()
        if why:
            print(f"skip sudo user: sudo cannot be installed: {why}")
            user.remove()
            user = None
        first = os.path.join(user.work if user else options.work, "a")
        second = os.path.join(options.work, "second-clone", "quennet")
        dist = release_in_clone(first, bullseye_root, user)
        time.sleep(1)
        other = release_in_clone(second, bullseye_root)
        compare(dist, other, [first, second])
        run_checks(dist, options.work, bullseye_root)
        if user:
            check_sudo_user(user, first, bullseye_root)
    finally:
        if user:
            user.remove()
    print(f"{len(failures)} failed" if failures else "every check passed")
    return 1 if failures else 0


def run_checks(dist, work, bullseye_root):
    v = version()
    check(re.search(rf"^## {re.escape(v)}\b", open(os.path.join(ROOT, "CHANGELOG.md")).read(), re.M) is not None,
          f"CHANGELOG.md has an entry for {v}")
    exe = dict(members(os.path.join(dist, f"quennet-{v}-windows-x64.zip"))).get("quennet.exe", b"")
    want = tuple(int(n) for n in v.split(".")) + (0,)
    check(pe_version(exe) == (want, want), f"quennet.exe's version resource says (file, product) {pe_version(exe)}, "
          f"the version is {v}")
    check_npm_programs(dist, v)
    check_portable(dist, f"quennet-{v}-linux-x86_64", bullseye_root)
    check_wheels(dist, v)
    check_shipped_cases(dist, f"quennet-{v}-linux-x86_64", work)


if __name__ == "__main__":
    sys.exit(main())
