"""Judging one run of quennet as a whole, from its records, its exit status and its standard
error, once it has ended. The same for the blocking and the asyncio API."""

import re
import signal
from dataclasses import dataclass
from typing import List, Optional, Tuple

from ._errors import QuennetError
from ._records import Account, Done, ErrorRecord, LineError, Record, parse_record

# How long a command may run past quennet's own limits before it counts as hung: a Steam call that
# never returns must not hang the host.
DEFAULT_DOWNLOAD_TIMEOUT_SECS = 1800
UNSUBSCRIBE_LIMIT_SECS = 30
OTHER_LIMIT_SECS = 60
DEADLINE_MARGIN_SECS = 60


def deadline_for(args: List[str]) -> float:
    """The seconds a run of quennet with `args` may take: its own limit and a margin."""
    command = args[0] if args else ""
    if command == "download":
        return _download_limit(args[1:]) + DEADLINE_MARGIN_SECS
    if command == "unsubscribe":
        return UNSUBSCRIBE_LIMIT_SECS + DEADLINE_MARGIN_SECS
    return OTHER_LIMIT_SECS + DEADLINE_MARGIN_SECS


def _download_limit(args: List[str]) -> int:
    """The --timeout-secs that quennet will use: the last one given, else its default."""
    limit = DEFAULT_DOWNLOAD_TIMEOUT_SECS
    values = iter(args)
    for arg in values:
        value = next(values, "") if arg == "--timeout-secs" else None
        if arg.startswith("--timeout-secs="):
            value = arg[len("--timeout-secs="):]
        if value is not None and re.fullmatch(r"\+?[0-9]+", value) and int(value) > 0:
            limit = int(value)
    return limit


@dataclass(frozen=True)
class RunEnd:
    """How a run that ended well ended: exit status 0 with "done", or 1 with errors for items."""
    exit_code: int
    account: Optional[Account]
    stderr: str


class Watch:
    """What a run has written so far, as far as the verdict on it needs."""

    def __init__(self) -> None:
        self.account: Optional[Account] = None
        self.done = False
        self.run_error: Optional[ErrorRecord] = None
        self.item_errors = 0
        self.bad_line: Optional[str] = None

    def read(self, line: bytes) -> Optional[Record]:
        """The record on one line, without its line feed. None when the line is bad: nothing after
        it can be trusted, and the caller ends the run."""
        try:
            record = parse_record(line)
        except LineError as error:
            self.bad_line = f"quennet wrote a line that is not a record ({error}): {line[:200]!r}"
            return None
        if isinstance(record, Account):
            self.account = record
        if isinstance(record, Done):
            self.done = True
        # Before "ready", or without an item, an error is about the whole run.
        if isinstance(record, ErrorRecord):
            if self.account is None or record.workshop_id is None:
                self.run_error = record
            else:
                self.item_errors += 1
        return record

    def cut_off(self) -> None:
        """The output ended with part of a line."""
        self.bad_line = "quennet's output ended inside a line"

    def verdict(self, returncode: int, stderr: str) -> RunEnd:
        """The end of a run that ended well; raises the QuennetError of one that did not."""
        exit_code, signal_name = _exit_of(returncode)

        def fail(code: str, message: str, record: Optional[ErrorRecord] = None) -> QuennetError:
            return QuennetError(code, message, stderr=stderr, exit_code=exit_code, signal=signal_name,
                                record=record)

        if self.bad_line is not None:
            raise fail("protocol", self.bad_line)
        if signal_name is not None:
            raise fail("crashed", f"quennet was killed ({signal_name})")
        if exit_code == 0:
            if self.done:
                return RunEnd(0, self.account, stderr)
            raise fail("protocol", 'quennet ended with status 0 but without "done"')
        if exit_code != 1:
            raise fail("crashed", f"quennet crashed (exit status {exit_code})")
        if self.run_error is not None:
            code = "steam_not_running" if self.run_error.code == "steam_not_running" else "rejected"
            raise fail(code, self.run_error.message, self.run_error)
        # Steam's own library may write to standard error too; quennet's lines begin "quennet: ".
        own = [line for line in stderr.splitlines() if line.startswith("quennet: ")]
        if own:
            raise fail("internal", f"quennet stopped on an internal error: {' '.join(own)}")
        if self.item_errors > 0:
            return RunEnd(1, self.account, stderr)
        # Status 1 always comes with an error record or a line on standard error; without either,
        # the process was ended from outside (on Windows a killed process ends with status 1).
        raise fail("crashed", "quennet ended with status 1 without saying why: it was probably killed")


def _exit_of(returncode: int) -> Tuple[Optional[int], Optional[str]]:
    """(exit status, signal name): a negative return code is the signal that ended the process."""
    if returncode >= 0:
        return returncode, None
    try:
        return None, signal.Signals(-returncode).name
    except ValueError:
        return None, f"signal {-returncode}"


def hung(deadline_secs: float, returncode: Optional[int], stderr: str) -> QuennetError:
    exit_code, signal_name = _exit_of(returncode) if returncode is not None else (None, None)
    return QuennetError("hung", f"quennet was still running after {deadline_secs:g} s and was ended",
                        stderr=stderr, exit_code=exit_code, signal=signal_name)
