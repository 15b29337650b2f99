"""What each command makes of the records of its run: the same for the blocking and the asyncio
API. A command takes each record as it arrives (calling the caller's callbacks), then builds its
result once the run has ended well. Records of kinds it does not know are ignored, so that a newer
quennet's new records do not break an older package."""

import dataclasses
from dataclasses import dataclass
from typing import Callable, Generic, List, Optional, Sequence, TypeVar

from ._errors import QuennetError
from ._ids import Tasks, WorkshopId, id_arguments
from ._records import Account, ErrorRecord, Installed, ItemState, Progress, Record
from ._verdict import RunEnd

T = TypeVar("T")


@dataclass(frozen=True)
class Outcome:
    """What became of one id of a download or an unsubscribe: ok with the install folder (download),
    or not ok with quennet's error record for the item."""
    workshop_id: str
    ok: bool
    folder: Optional[str] = None
    error: Optional[ErrorRecord] = None


class Command(Generic[T]):
    """One command's arguments, its handling of records and its result."""

    def __init__(self, args: List[str]) -> None:
        self.args = args

    def take(self, record: Record) -> None:
        pass

    def finish(self, end: RunEnd) -> T:
        raise NotImplementedError


R = TypeVar("R", ItemState, Outcome)


def _as_written(result: R, id: str) -> R:
    """The result under the id as the caller wrote it (007 where quennet reports 7)."""
    return result if result.workshop_id == id else dataclasses.replace(result, workshop_id=id)


def _protocol(message: str, end: RunEnd) -> QuennetError:
    return QuennetError("protocol", message, stderr=end.stderr, exit_code=end.exit_code)


class Whoami(Command[Account]):
    def __init__(self) -> None:
        super().__init__(["whoami"])

    def finish(self, end: RunEnd) -> Account:
        if end.account is None:
            raise _protocol('quennet ended without "ready"', end)
        return end.account


class Status(Command[List[ItemState]]):
    def __init__(self, ids: Sequence[WorkshopId]) -> None:
        written = id_arguments(ids)
        super().__init__(["status", *written])
        self.tasks: Tasks[ItemState] = Tasks(written)

    def take(self, record: Record) -> None:
        if isinstance(record, ItemState):
            self.tasks.settle(record.workshop_id, record)

    def finish(self, end: RunEnd) -> List[ItemState]:
        if self.tasks.open_ids():
            raise _protocol(f"quennet ended without the state of {', '.join(self.tasks.open_ids())}", end)
        return [_as_written(state, id) for id, state in zip(self.tasks.written, self.tasks.per_position())
                if state is not None]


class Download(Command[List[Outcome]]):
    def __init__(self, ids: Sequence[WorkshopId], timeout_secs: Optional[int],
                 on_progress: Optional[Callable[[Progress], object]],
                 on_installed: Optional[Callable[[Installed], object]],
                 on_item_error: Optional[Callable[[ErrorRecord], object]]) -> None:
        written = id_arguments(ids)
        args = ["download", *written]
        if timeout_secs is not None:
            if isinstance(timeout_secs, bool) or not isinstance(timeout_secs, int) or timeout_secs < 1:
                raise ValueError("timeout_secs: expected a whole number of seconds from 1 up")
            args += ["--timeout-secs", str(timeout_secs)]
        super().__init__(args)
        self.tasks: Tasks[Outcome] = Tasks(written)
        self.on_progress = on_progress
        self.on_installed = on_installed
        self.on_item_error = on_item_error

    def take(self, record: Record) -> None:
        if isinstance(record, Progress) and self.on_progress is not None:
            self.on_progress(record)
        if isinstance(record, Installed):
            self.tasks.settle(record.workshop_id, Outcome(record.workshop_id, True, folder=record.folder))
            if self.on_installed is not None:
                self.on_installed(record)
        if isinstance(record, ErrorRecord) and record.workshop_id is not None:
            self.tasks.settle(record.workshop_id, Outcome(record.workshop_id, False, error=record))
            if self.on_item_error is not None:
                self.on_item_error(record)

    def finish(self, end: RunEnd) -> List[Outcome]:
        # Every item gets its own "installed" or "error": one without either is not done.
        if self.tasks.open_ids():
            raise _protocol(f"quennet ended without an outcome for {', '.join(self.tasks.open_ids())}", end)
        return [_as_written(outcome, id) for id, outcome in zip(self.tasks.written, self.tasks.per_position())
                if outcome is not None]


class Unsubscribe(Command[List[Outcome]]):
    """A confirmed unsubscribe writes no record of its own: an item is ok when the run ended as
    quennet ends and no error came for it."""

    def __init__(self, ids: Sequence[WorkshopId]) -> None:
        written = id_arguments(ids)
        super().__init__(["unsubscribe", *written])
        self.tasks: Tasks[ErrorRecord] = Tasks(written)
        self.failed = False

    def take(self, record: Record) -> None:
        if isinstance(record, ErrorRecord) and record.workshop_id is not None:
            self.failed = self.tasks.settle(record.workshop_id, record) or self.failed

    def finish(self, end: RunEnd) -> List[Outcome]:
        if end.exit_code != 0 and not self.failed:
            raise _protocol("quennet ended with status 1 but without an error for any of its items", end)
        return [Outcome(id, error is None, error=error) for id, error in zip(self.tasks.written, self.tasks.per_position())]
