"""What the release's binaries say about themselves, read once for the scripts and the checks that
need it: the Windows program's version resource and the DLLs it imports, and the glibc symbol
versions and libraries that a Linux binary needs. The ELF and import readers ask binutils (objdump,
readelf, MinGW-w64's objdump), which scripts/bootstrap installs with the compilers.
"""

import re
import struct
import subprocess

VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD


def pe_version(data):
    """(file version, product version) of the VS_FIXEDFILEINFO in a Windows executable's bytes, each
    as four numbers, or None when it has no version resource."""
    at = data.find(struct.pack("<I", VS_FIXEDFILEINFO_SIGNATURE))
    if at < 0:
        return None
    _, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", data, at)

    def split(ms, ls):
        return ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF

    return split(file_ms, file_ls), split(product_ms, product_ls)


def pe_imported_dlls(path):
    """The names of the DLLs that a Windows binary imports, as its import table writes them."""
    dump = _output(["x86_64-w64-mingw32-objdump", "-p", path])
    return {line.split(":", 1)[1].strip() for line in dump.splitlines() if "DLL Name:" in line}


def elf_glibc_versions(path):
    """Every glibc symbol version that a Linux binary needs, as tuples of numbers: (2, 2, 5), (2, 31)."""
    symbols = _output(["objdump", "-T", path])
    return {tuple(int(n) for n in v.split(".")) for v in re.findall(r"GLIBC_([0-9]+(?:\.[0-9]+)*)", symbols)}


def elf_needed(path):
    """The libraries that a Linux binary names as NEEDED."""
    return set(re.findall(r"\(NEEDED\).*\[(.+)\]", _output(["readelf", "-d", path])))


def _output(command):
    return subprocess.run(command, check=True, capture_output=True, text=True).stdout
