"""The asyncio API: the same methods as Quennet, as coroutines, and run() as an async iterator.
Cancelling the task that awaits a call ends quennet."""

import asyncio
from typing import AsyncGenerator, Callable, Dict, List, Optional, Sequence, TypeVar

from ._commands import Command, Download, Outcome, Status, Unsubscribe, Whoami
from ._errors import QuennetError
from ._ids import WorkshopId
from ._locate import spawn_options
from ._options import Options, run_arguments
from ._records import Account, ErrorRecord, Installed, ItemState, Progress, Record
from ._verdict import RunEnd, Watch, hung

T = TypeVar("T")

# Longer than any record quennet writes (a 4096-byte folder, every byte escaped, is 24 KiB).
LINE_LIMIT = 1 << 20


class _AsyncChild:
    """One run of quennet: `async for` yields each record as it arrives, then judges the run
    (raising its QuennetError, or setting `end`). Leaving the `async with` block ends the process
    and waits for it, however the block is left, cancellation included."""

    def __init__(self, file: str, args: List[str], env: Optional[Dict[str, str]], cwd: Optional[str],
                 deadline_secs: float, on_start: Optional[Callable[[int], object]]) -> None:
        self.file = file
        self.args = args
        self.env = env
        self.cwd = cwd
        self.deadline_secs = deadline_secs
        self.on_start = on_start
        self.end: Optional[RunEnd] = None
        self.watch = Watch()

    async def __aenter__(self) -> "_AsyncChild":
        self.deadline = asyncio.get_running_loop().time() + self.deadline_secs
        try:
            self.process = await asyncio.create_subprocess_exec(
                self.file, *self.args, env=self.env, cwd=self.cwd, limit=LINE_LIMIT, **spawn_options())
        except (OSError, ValueError) as error:
            raise QuennetError("not_started", f"could not start quennet ({self.file}): {error}") from error
        assert self.process.stdout is not None and self.process.stderr is not None
        self.stdout = self.process.stdout
        self.stderr = asyncio.ensure_future(self.process.stderr.read())
        if self.on_start is not None:
            try:
                self.on_start(self.process.pid)
            except BaseException:
                await self.stop()
                raise
        return self

    async def __aexit__(self, *exc: object) -> None:
        await self.stop()

    async def stop(self) -> None:
        if self.process.returncode is None:
            try:
                self.process.kill()
            except ProcessLookupError:
                pass
        await self.process.wait()
        if not self.stderr.done():
            self.stderr.cancel()

    def _stderr_text(self) -> str:
        done = self.stderr.done() and not self.stderr.cancelled()
        return self.stderr.result().decode("utf-8", "replace") if done else ""

    async def _before_deadline(self, waiting: "asyncio.Future[T]") -> T:
        remaining = self.deadline - asyncio.get_running_loop().time()
        try:
            return await asyncio.wait_for(waiting, max(0.0, remaining))
        except asyncio.TimeoutError:
            await self.stop()
            raise hung(self.deadline_secs, self.process.returncode, self._stderr_text()) from None

    def __aiter__(self) -> "_AsyncChild":
        return self

    async def __anext__(self) -> Record:
        if self.end is not None or self.watch.bad_line is not None:
            raise StopAsyncIteration
        try:
            line = await self._before_deadline(asyncio.ensure_future(self.stdout.readline()))
        except ValueError:  # longer than LINE_LIMIT
            line = b""
            self.watch.bad_line = f"quennet wrote a line longer than {LINE_LIMIT} bytes"
        if line.endswith(b"\n") and self.watch.bad_line is None:
            record = self.watch.read(line[:-1])
            if record is not None:
                return record
        elif line:
            self.watch.cut_off()
        if self.watch.bad_line is not None:
            self.process.kill()  # nothing after a bad line can be trusted
        returncode = await self._before_deadline(asyncio.ensure_future(self.process.wait()))
        stderr = (await self._before_deadline(self.stderr)).decode("utf-8", "replace")
        self.end = self.watch.verdict(returncode, stderr)
        raise StopAsyncIteration


class AsyncQuennet(Options):
    """Quennet's methods as coroutines; the options are Quennet's. Callbacks are plain functions,
    called on the event loop's thread."""

    async def whoami(self, *, deadline_secs: Optional[float] = None,
                     on_start: Optional[Callable[[int], object]] = None) -> Account:
        return await self._call(Whoami(), deadline_secs, on_start)

    async def status(self, ids: Sequence[WorkshopId], *, deadline_secs: Optional[float] = None,
                     on_start: Optional[Callable[[int], object]] = None) -> List[ItemState]:
        return await self._call(Status(ids), deadline_secs, on_start)

    async def download(self, ids: Sequence[WorkshopId], *, timeout_secs: Optional[int] = None,
                       on_progress: Optional[Callable[[Progress], object]] = None,
                       on_installed: Optional[Callable[[Installed], object]] = None,
                       on_item_error: Optional[Callable[[ErrorRecord], object]] = None,
                       deadline_secs: Optional[float] = None,
                       on_start: Optional[Callable[[int], object]] = None) -> List[Outcome]:
        command = Download(ids, timeout_secs, on_progress, on_installed, on_item_error)
        return await self._call(command, deadline_secs, on_start)

    async def unsubscribe(self, ids: Sequence[WorkshopId], *, deadline_secs: Optional[float] = None,
                          on_start: Optional[Callable[[int], object]] = None) -> List[Outcome]:
        return await self._call(Unsubscribe(ids), deadline_secs, on_start)

    def run(self, args: Sequence[str], *, deadline_secs: Optional[float] = None,
            on_start: Optional[Callable[[int], object]] = None) -> AsyncGenerator[Record, None]:
        """Every record of one run with `args`, as it arrives, records of unknown kinds included.
        quennet starts at the first record asked for; `await records.aclose()` ends it early (a loop
        that is left early leaves that to the garbage collector)."""
        return self._records(run_arguments(args), deadline_secs, on_start)

    async def _records(self, args: List[str], deadline_secs: Optional[float],
                       on_start: Optional[Callable[[int], object]]) -> AsyncGenerator[Record, None]:
        async with self._start(args, deadline_secs, on_start) as child:
            async for record in child:
                yield record

    async def _call(self, command: Command[T], deadline_secs: Optional[float],
                    on_start: Optional[Callable[[int], object]]) -> T:
        async with self._start(command.args, deadline_secs, on_start) as child:
            async for record in child:
                command.take(record)
            assert child.end is not None
            return command.finish(child.end)

    def _start(self, args: List[str], deadline_secs: Optional[float],
               on_start: Optional[Callable[[int], object]]) -> _AsyncChild:
        file, deadline = self._program(args, deadline_secs)
        return _AsyncChild(file, args, self.env, self.cwd, deadline, on_start)
