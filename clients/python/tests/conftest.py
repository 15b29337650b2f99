"""What the package's tests share: a folder per test holding copies of the built quennet and the
simulated Steam library, as a launcher would ship them, and the environment of a run against the
simulator. ctest hands over where the build is (tests.cmake)."""

import os
import shutil
import stat
from pathlib import Path
from typing import Dict, Optional

import pytest


def built(name: str) -> str:
    value = os.environ.get(name)
    if not value:
        pytest.fail(f"{name} is not set: run these tests through ctest")
    return value


def install(folder: Path, library: bool = True) -> str:
    """quennet, with the simulated Steam library beside it unless `library` is False."""
    folder.mkdir(parents=True, exist_ok=True)
    program = folder / "quennet"
    shutil.copy(built("QUENNET_TEST_EXE"), program)
    program.chmod(program.stat().st_mode | stat.S_IXUSR)
    if library:
        shutil.copy(built("QUENNET_TEST_SIM_LIBRARY"), folder / "libsteam_api.so")
    return str(program)


def sim_environment(folder: Path, scenario: Optional[str] = None, state: bool = False) -> Dict[str, str]:
    """The demo world unless a scenario (a file of sim/scenarios, or JSON text) is given; a state
    file in `folder` when asked."""
    env = {k: v for k, v in os.environ.items() if not k.startswith("STEAM_SIM_") and k != "QUENNET_PATH"}
    if scenario is not None:
        if scenario.lstrip().startswith("{"):
            (folder / "scenario.json").write_text(scenario)
            env["STEAM_SIM_SCENARIO"] = str(folder / "scenario.json")
        else:
            env["STEAM_SIM_SCENARIO"] = os.path.join(built("QUENNET_TEST_SCENARIOS"), scenario)
    if state:
        env["STEAM_SIM_STATE"] = str(folder / "state.json")
    return env


def fake_quennet(folder: Path, body: str) -> str:
    """A stand-in for a broken quennet: a shell script with `body`."""
    folder.mkdir(parents=True, exist_ok=True)
    script = folder / "quennet"
    script.write_text(f"#!/bin/sh\n{body}\n")
    script.chmod(0o755)
    return str(script)


def gone(pid: int) -> bool:
    """True once the process has ended and been waited for."""
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return True
    return False
