"""Where quennet is, and how it is started."""

import os
import subprocess
import sys
from typing import Any, Dict, List, Optional

PROGRAM = "quennet.exe" if sys.platform == "win32" else "quennet"
PATH_VARIABLE = "QUENNET_PATH"
# The wheel carries quennet and Valve's Steam library in this folder of the package.
PACKAGED = os.path.join(os.path.dirname(os.path.abspath(__file__)), "bin", PROGRAM)


def find_quennet(explicit: Optional[str] = None) -> Optional[str]:
    """The program to run, first match wins: the explicit path, QUENNET_PATH, the program installed
    with this package, then beside a frozen application."""
    if explicit:
        return explicit
    from_environment = os.environ.get(PATH_VARIABLE)
    if from_environment:
        return from_environment
    for candidate in [PACKAGED] + [os.path.join(folder, PROGRAM) for folder in _frozen_folders()]:
        if os.path.isfile(candidate):
            return candidate
    return None


def _frozen_folders() -> List[str]:
    """Where a frozen application keeps its own files: PyInstaller's bundle folder (_MEIPASS), and
    the folder of the executable for PyInstaller, cx_Freeze (sys.frozen) and Nuitka (__compiled__,
    whose onefile executable is sys.argv[0])."""
    folders = []
    bundle = getattr(sys, "_MEIPASS", None)
    if isinstance(bundle, str):
        folders.append(bundle)
    if getattr(sys, "frozen", False) or "__compiled__" in globals():
        folders.append(os.path.dirname(os.path.abspath(sys.executable)))
        if sys.argv and sys.argv[0]:
            folders.append(os.path.dirname(os.path.abspath(sys.argv[0])))
    return folders


def not_found_message() -> str:
    return (f"quennet not found: pass Quennet(path=...), set {PATH_VARIABLE}, install the quennet wheel, "
            f"or ship {PROGRAM} beside your frozen application")


def spawn_options() -> Dict[str, Any]:
    """Popen's options for quennet: never a shell, nothing on standard input, and on Windows no
    console window (a pythonw host has none, and would otherwise get one per run)."""
    options: Dict[str, Any] = {"shell": False, "stdin": subprocess.DEVNULL,
                               "stdout": subprocess.PIPE, "stderr": subprocess.PIPE}
    if sys.platform == "win32":
        options["creationflags"] = subprocess.CREATE_NO_WINDOW
    return options
