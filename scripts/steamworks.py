"""Valve's redistributable Steam library as scripts/fetch-steamworks fetches it into
.cache/steamworks/, and the SHA-256 that each of its files is taken with, kept once in
scripts/steamworks.sha256 (sha256sum's format, paths under .cache/steamworks/)."""

import hashlib
import os

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDER = os.path.join(ROOT, ".cache", "steamworks")


def pinned():
    """{"linux/libsteam_api.so": sha256, "windows/steam_api64.dll": sha256}"""
    with open(os.path.join(ROOT, "scripts", "steamworks.sha256")) as f:
        return {name: digest for digest, name in (line.split() for line in f if line.strip())}


def pinned_digest(name):
    """The pinned SHA-256 of the library file called `name` (libsteam_api.so, steam_api64.dll)."""
    return next((digest for path, digest in pinned().items() if os.path.basename(path) == name), None)


def digest_of(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()
