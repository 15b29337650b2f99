"""Ending a run early: from another thread, by cancelling an asyncio task, by a callback that
raises, and by leaving run() early. In every case quennet has ended and been waited for when the
call returns. The demo world's 2222222222 downloads for about three seconds."""

import asyncio
import threading
import time
from pathlib import Path
from typing import List, Optional

import pytest
from conftest import fake_quennet, gone, install, sim_environment

from quennet import AsyncQuennet, Cancelled, Progress, Quennet, QuennetError


def test_cancel_from_another_thread(tmp_path: Path) -> None:
    quennet = Quennet(install(tmp_path), env=sim_environment(tmp_path))
    cancel = threading.Event()
    under_way = threading.Event()
    pids: List[int] = []
    result: List[BaseException] = []

    def progress(p: Progress) -> None:
        if p.bytes_done > 0:
            under_way.set()

    def worker() -> None:  # what a GTK or Qt host runs off its main loop
        try:
            quennet.download(["2222222222"], cancel=cancel, on_start=pids.append, on_progress=progress)
        except BaseException as error:
            result.append(error)

    started = time.monotonic()
    thread = threading.Thread(target=worker)
    thread.start()
    assert under_way.wait(10)
    cancel.set()  # the UI thread's Cancel button
    thread.join(10)
    assert [type(e) for e in result] == [Cancelled]
    assert time.monotonic() - started < 2.5, "the download went on to its end"
    assert gone(pids[0])
    with pytest.raises(Cancelled):  # a set event starts nothing
        quennet.whoami(cancel=cancel)


def test_cancelling_the_asyncio_task(tmp_path: Path) -> None:
    quennet = AsyncQuennet(install(tmp_path), env=sim_environment(tmp_path))
    pids: List[int] = []

    async def cancel_part_way() -> None:
        under_way = asyncio.Event()

        def progress(p: Progress) -> None:
            if p.bytes_done > 0:
                under_way.set()

        task = asyncio.ensure_future(quennet.download(["2222222222"], on_start=pids.append, on_progress=progress))
        await asyncio.wait_for(under_way.wait(), 10)
        task.cancel()
        with pytest.raises(asyncio.CancelledError):
            await task
        assert gone(pids[0])

    asyncio.run(cancel_part_way())


def test_a_callback_that_raises_ends_quennet_and_reraises(tmp_path: Path) -> None:
    quennet = Quennet(install(tmp_path), env=sim_environment(tmp_path))
    pids: List[int] = []

    def broken(p: Progress) -> None:
        raise KeyError("the host's bug")

    with pytest.raises(KeyError):
        quennet.download(["2222222222"], on_start=pids.append, on_progress=broken)
    assert gone(pids[0])

    async_quennet = AsyncQuennet(quennet.path, env=quennet.env)
    with pytest.raises(KeyError):
        asyncio.run(async_quennet.download(["2222222222"], on_start=pids.append, on_progress=broken))
    assert gone(pids[1])


def test_leaving_run_early_ends_quennet(tmp_path: Path) -> None:
    quennet = Quennet(install(tmp_path), env=sim_environment(tmp_path))
    pids: List[int] = []
    for record in quennet.run(["download", "2222222222"], on_start=pids.append):
        if isinstance(record, Progress):
            break
    assert gone(pids[0])

    async def close_early() -> Optional[int]:
        records = AsyncQuennet(quennet.path, env=quennet.env).run(["download", "2222222222"], on_start=pids.append)
        async for record in records:
            if isinstance(record, Progress):
                break
        await records.aclose()
        return pids[1]

    assert gone(asyncio.run(close_early()) or 0)


def test_a_run_past_its_deadline_is_ended_as_hung(tmp_path: Path) -> None:
    # Steam's answer that never comes, as a stand-in: "ready", then nothing.
    stuck = fake_quennet(tmp_path, """echo '{"type":"ready","steamId":"1","persona":"x"}'; exec sleep 30""")
    pids: List[int] = []
    with pytest.raises(QuennetError) as caught:
        Quennet(stuck, deadline_secs=0.5).status([1], on_start=pids.append)
    assert (caught.value.code, caught.value.message) == ("hung", "quennet was still running after 0.5 s and was ended")
    assert gone(pids[0])

    with pytest.raises(QuennetError) as caught:
        asyncio.run(AsyncQuennet(stuck).whoami(deadline_secs=0.5, on_start=pids.append))
    assert caught.value.code == "hung"
    assert gone(pids[1])
