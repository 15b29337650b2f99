"""The blocking API: each method runs quennet once, on the calling thread, and returns its result.
A GTK or Qt host calls it on a worker thread and cancels from the UI thread with a
threading.Event."""

import os
import queue
import subprocess
import threading
import time
from typing import Callable, Dict, Iterator, List, Optional, Sequence, TypeVar

from ._commands import Command, Download, Outcome, Status, Unsubscribe, Whoami
from ._errors import Cancelled, QuennetError
from ._ids import WorkshopId
from ._locate import spawn_options
from ._options import Options, run_arguments
from ._records import Account, ErrorRecord, Installed, ItemState, Progress, Record
from ._verdict import RunEnd, Watch, hung

T = TypeVar("T")

# How often a waiting call looks at its cancel event and its deadline.
POLL_SECS = 0.05


class _Child:
    """One run of quennet: iterating it yields each record as it arrives, then judges the run
    (raising its QuennetError, or setting `end`). Leaving the `with` block ends the process and
    waits for it, however the block is left."""

    def __init__(self, file: str, args: List[str], env: Optional[Dict[str, str]], cwd: Optional[str],
                 deadline_secs: float, cancel: Optional[threading.Event],
                 on_start: Optional[Callable[[int], object]]) -> None:
        self.deadline_secs = deadline_secs
        self.deadline = time.monotonic() + deadline_secs
        self.cancel = cancel
        self.end: Optional[RunEnd] = None
        self.watch = Watch()
        self.chunks: "queue.Queue[bytes]" = queue.Queue()
        self.stderr: List[bytes] = []
        if cancel is not None and cancel.is_set():
            raise Cancelled()
        try:
            self.process = subprocess.Popen([file, *args], env=env, cwd=cwd, **spawn_options())
        except (OSError, ValueError) as error:
            raise QuennetError("not_started", f"could not start quennet ({file}): {error}") from error
        # Both pipes are drained by threads of their own, so that neither can fill up and stall
        # quennet, and so that this thread can wait on a deadline.
        self.readers = [threading.Thread(target=self._read_output, daemon=True),
                        threading.Thread(target=self._read_stderr, daemon=True)]
        for reader in self.readers:
            reader.start()
        if on_start is not None:
            try:
                on_start(self.process.pid)
            except BaseException:
                self.stop()
                raise

    def _read_output(self) -> None:
        assert self.process.stdout is not None
        descriptor = self.process.stdout.fileno()
        for chunk in iter(lambda: os.read(descriptor, 65536), b""):
            self.chunks.put(chunk)
        self.chunks.put(b"")

    def _read_stderr(self) -> None:
        assert self.process.stderr is not None
        descriptor = self.process.stderr.fileno()
        for chunk in iter(lambda: os.read(descriptor, 65536), b""):
            self.stderr.append(chunk)

    def __enter__(self) -> "_Child":
        return self

    def __exit__(self, *exc: object) -> None:
        self.stop()

    def stop(self) -> None:
        if self.process.poll() is None:
            self.process.kill()
        self.process.wait()
        for reader in self.readers:
            reader.join(timeout=1)
        for pipe in (self.process.stdout, self.process.stderr):
            if pipe is not None:
                pipe.close()

    def _stderr_text(self) -> str:
        return b"".join(self.stderr).decode("utf-8", "replace")

    def _wait(self, until: Callable[[], bool]) -> None:
        """Waits until `until()` holds, raising when cancelled or past the deadline."""
        while not until():
            if self.cancel is not None and self.cancel.is_set():
                self.stop()
                raise Cancelled()
            if time.monotonic() >= self.deadline:
                self.stop()
                raise hung(self.deadline_secs, self.process.returncode, self._stderr_text())

    def _next_chunk(self) -> bytes:
        found: List[bytes] = []

        def arrived() -> bool:
            try:
                found.append(self.chunks.get(timeout=max(0.0, min(POLL_SECS, self.deadline - time.monotonic()))))
                return True
            except queue.Empty:
                return False

        self._wait(arrived)
        return found[0]

    def _records(self) -> Iterator[Record]:
        """Each record as its line arrives; stops at the end of the output, or at a bad line."""
        pending = b""
        while True:
            chunk = self._next_chunk()
            if not chunk:
                break
            *lines, pending = (pending + chunk).split(b"\n")
            for line in lines:
                record = self.watch.read(line)
                if record is None:
                    return
                yield record
        if pending:
            self.watch.cut_off()

    def __iter__(self) -> Iterator[Record]:
        yield from self._records()
        if self.watch.bad_line is not None:
            self.process.kill()  # nothing after a bad line can be trusted

        def exited() -> bool:
            try:
                self.process.wait(timeout=POLL_SECS)
                return True
            except subprocess.TimeoutExpired:
                return False

        self._wait(exited)
        for reader in self.readers:
            reader.join(timeout=1)
        assert self.process.returncode is not None
        self.end = self.watch.verdict(self.process.returncode, self._stderr_text())


class Quennet(Options):
    """Runs quennet, one run per call. `env` is the whole environment of quennet's process (default:
    this process's), `cwd` its working folder, `deadline_secs` how long any run may take before it
    counts as hung (default: quennet's own limit for the command plus 60 seconds)."""

    def whoami(self, *, cancel: Optional[threading.Event] = None, deadline_secs: Optional[float] = None,
               on_start: Optional[Callable[[int], object]] = None) -> Account:
        return self._call(Whoami(), cancel, deadline_secs, on_start)

    def status(self, ids: Sequence[WorkshopId], *, cancel: Optional[threading.Event] = None,
               deadline_secs: Optional[float] = None, on_start: Optional[Callable[[int], object]] = None,
               ) -> List[ItemState]:
        return self._call(Status(ids), cancel, deadline_secs, on_start)

    def download(self, ids: Sequence[WorkshopId], *, timeout_secs: Optional[int] = None,
                 on_progress: Optional[Callable[[Progress], object]] = None,
                 on_installed: Optional[Callable[[Installed], object]] = None,
                 on_item_error: Optional[Callable[[ErrorRecord], object]] = None,
                 cancel: Optional[threading.Event] = None, deadline_secs: Optional[float] = None,
                 on_start: Optional[Callable[[int], object]] = None) -> List[Outcome]:
        command = Download(ids, timeout_secs, on_progress, on_installed, on_item_error)
        return self._call(command, cancel, deadline_secs, on_start)

    def unsubscribe(self, ids: Sequence[WorkshopId], *, cancel: Optional[threading.Event] = None,
                    deadline_secs: Optional[float] = None, on_start: Optional[Callable[[int], object]] = None,
                    ) -> List[Outcome]:
        return self._call(Unsubscribe(ids), cancel, deadline_secs, on_start)

    def run(self, args: Sequence[str], *, cancel: Optional[threading.Event] = None,
            deadline_secs: Optional[float] = None, on_start: Optional[Callable[[int], object]] = None,
            ) -> Iterator[Record]:
        """Every record of one run with `args`, as it arrives, records of unknown kinds included.
        quennet starts at the first next(); closing the iterator (or leaving a for loop over it)
        ends quennet."""
        return self._records(run_arguments(args), cancel, deadline_secs, on_start)

    def _records(self, args: List[str], cancel: Optional[threading.Event], deadline_secs: Optional[float],
                 on_start: Optional[Callable[[int], object]]) -> Iterator[Record]:
        with self._start(args, cancel, deadline_secs, on_start) as child:
            yield from child

    def _call(self, command: Command[T], cancel: Optional[threading.Event], deadline_secs: Optional[float],
              on_start: Optional[Callable[[int], object]]) -> T:
        with self._start(command.args, cancel, deadline_secs, on_start) as child:
            for record in child:
                command.take(record)
            assert child.end is not None
            return command.finish(child.end)

    def _start(self, args: List[str], cancel: Optional[threading.Event], deadline_secs: Optional[float],
               on_start: Optional[Callable[[int], object]]) -> _Child:
        file, deadline = self._program(args, deadline_secs)
        return _Child(file, args, self.env, self.cwd, deadline, cancel, on_start)
