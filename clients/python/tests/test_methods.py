"""Each method against the built quennet and the simulated Steam: what it returns, per-item
failures, ids as quennet reads them, and every way a run fails as a whole."""

import asyncio
from pathlib import Path
from typing import Callable, List

import pytest
from conftest import fake_quennet, install, sim_environment

from quennet import (Account, AsyncQuennet, Done, ErrorRecord, ItemState, Outcome, Progress, Quennet,
                     QuennetError, UnknownRecord)

DEMO_FOLDER = "/home/survivor/.local/share/Steam/steamapps/workshop/content/221100/"


def beside_sim(tmp_path: Path, **sim: object) -> Quennet:
    return Quennet(install(tmp_path), env=sim_environment(tmp_path, **sim))  # type: ignore[arg-type]


def raises(code: str, call: Callable[[], object]) -> QuennetError:
    with pytest.raises(QuennetError) as caught:
        call()
    assert caught.value.code == code, caught.value.message
    return caught.value


def test_whoami_status_and_run(tmp_path: Path) -> None:
    quennet = beside_sim(tmp_path)
    assert quennet.whoami() == Account("76561198000000000", "Survivor")

    # Leading zeros and repeats as quennet reads them: the adjacent 1111111111s are one item, the
    # last 2222222222 another; each position gets its state under the id as given.
    states = quennet.status(["2222222222", 1111111111, "0001111111111", "1111111111", 2222222222])
    assert [s.workshop_id for s in states] == ["2222222222", "1111111111", "0001111111111", "1111111111", "2222222222"]
    assert states[1] == ItemState("1111111111", True, True, False, False, DEMO_FOLDER + "1111111111", 1234567, 1700000000)
    assert states[2].folder == states[1].folder
    assert states[0].folder is None and states[4] == states[0]

    assert [type(r) for r in quennet.run(["status", "1111111111"])] == [Account, ItemState, Done]


def test_download_and_unsubscribe_failures_per_item(tmp_path: Path) -> None:
    reported: List[ErrorRecord] = []
    outcomes = beside_sim(tmp_path / "a").download(["3333333333", "1111111111"], on_item_error=reported.append)
    message = "download of 3333333333 failed: Steam returned: operation cancelled due to the disk being full"
    assert outcomes == [Outcome("3333333333", False, error=ErrorRecord("unknown", message, "3333333333")),
                        Outcome("1111111111", True, folder=DEMO_FOLDER + "1111111111")]
    assert reported == [outcomes[0].error]

    unsubscribed = beside_sim(tmp_path / "b", scenario="unsubscribe-one-fails.json").unsubscribe(["1559212036", "01564026768"])
    assert unsubscribed[0] == Outcome("1559212036", True)
    assert unsubscribed[1].workshop_id == "01564026768" and not unsubscribed[1].ok
    assert unsubscribed[1].error is not None and unsubscribed[1].error.code == "unknown"


def test_repeats_that_are_not_adjacent_are_separate_items(tmp_path: Path) -> None:
    # 1111111111 is installed already; the download of 3333333333 fails part way.
    outcomes = beside_sim(tmp_path).download(["1111111111", "3333333333", "01111111111"])
    assert [(o.workshop_id, o.ok) for o in outcomes] == [("1111111111", True), ("3333333333", False), ("01111111111", True)]


def test_byte_counts_above_2_to_the_53(tmp_path: Path) -> None:
    size = 2 ** 53 + 1
    quennet = beside_sim(tmp_path, scenario='{"items": [{"id": "18446744073709551615", '
                                         f'"download": {{"size": {size}, "everyPasses": 2}}}}]}}', state=True)
    progress: List[Progress] = []
    [outcome] = quennet.download([2 ** 64 - 1], on_progress=progress.append)
    assert outcome.ok and progress[-1] == Progress("18446744073709551615", size, size)
    [state] = quennet.status(["18446744073709551615"])
    assert state.size_on_disk == size


def test_the_asyncio_methods_return_what_the_blocking_ones_do(tmp_path: Path) -> None:
    quennet = AsyncQuennet(install(tmp_path), env=sim_environment(tmp_path, state=True))

    async def flow() -> None:
        progress: List[Progress] = []
        [outcome] = await quennet.download(["02222222222"], on_progress=progress.append)
        assert outcome == Outcome("02222222222", True, folder=DEMO_FOLDER + "2222222222")
        assert progress[-1].bytes_done == 48000000
        assert (await quennet.whoami()).persona == "Survivor"
        assert await quennet.unsubscribe([2222222222]) == [Outcome("2222222222", True)]
        [state] = await quennet.status([2222222222])
        assert (state.subscribed, state.installed) == (False, False)
        assert [r.type async for r in quennet.run(["whoami"])] == ["ready", "done"]
        with pytest.raises(QuennetError) as caught:
            await quennet.status(["0"])
        assert caught.value.code == "rejected"

    asyncio.run(flow())


def test_ids_that_are_not_ids_are_refused_before_quennet_starts() -> None:
    quennet = Quennet("/no/such/quennet")
    for bad in (["--timeout-secs"], [-1], [True], [1.0], [], "123"):
        with pytest.raises((TypeError, ValueError)):
            quennet.status(bad)  # type: ignore[arg-type]
    with pytest.raises(ValueError):
        quennet.download([1], timeout_secs=0)
    assert "/no/such/quennet" in raises("not_started", quennet.whoami).message


def test_whole_run_failures(tmp_path: Path) -> None:
    error = raises("rejected", lambda: beside_sim(tmp_path / "rejected").status(["0"]))
    assert error.record == ErrorRecord("item_invalid", "invalid workshop id 0: expected a positive integer", "0")
    assert error.exit_code == 1

    not_running = beside_sim(tmp_path / "steam", scenario='{"init": {"result": 2, "message": "no client"}}')
    assert raises("steam_not_running", lambda: not_running.download(["1"])).message.startswith(
        "Could not connect to Steam (We cannot connect to Steam")
    no_library = Quennet(install(tmp_path / "no library", library=False), env=sim_environment(tmp_path))
    assert "libsteam_api.so" in raises("steam_not_running", no_library.whoami).message

    internal = raises("internal", lambda: beside_sim(tmp_path / "internal", scenario='{"interfaces": {"ugc": false}}').status([1]))
    assert internal.stderr.startswith("quennet: ")

    def fake(name: str, body: str) -> Quennet:
        return Quennet(fake_quennet(tmp_path / name, body))

    ready = """echo '{"type":"ready","steamId":"1","persona":"x"}'"""
    assert "garbage" in raises("protocol", fake("garbage", f"{ready}; echo garbage; exec sleep 30").whoami).message
    assert "bytesDone" in raises("protocol", fake("float", """echo '{"type":"progress","workshopId":"1","bytesDone":1.5,"bytesTotal":2}'""").whoami).message
    raises("protocol", fake("no done", ready).whoami)
    raises("protocol", lambda: fake("no outcome", f"""{ready}; echo '{{"type":"done"}}'""").download(["5"]))
    crash = raises("crashed", fake("crash", "echo oops >&2; kill -SEGV $$").whoami)
    assert (crash.signal, crash.stderr, crash.exit_code) == ("SIGSEGV", "oops\n", None)
    assert raises("crashed", fake("status 3", "exit 3").whoami).exit_code == 3
    # Status 1 with no error at all for an item: an unsubscribe cannot count as done.
    raises("crashed", lambda: fake("status 1", f"{ready}; exit 1").unsubscribe(["5"]))
    raises("protocol", lambda: fake("other id", f"""{ready}; echo '{{"type":"error","code":"timeout","message":"m","workshopId":"6"}}'; exit 1""").unsubscribe(["5"]))


def test_records_of_a_newer_quennet_are_ignored_but_run_yields_them(tmp_path: Path) -> None:
    lines = ['{"type":"ready","steamId":"1","persona":"x"}', '{"type":"queued","workshopId":"5","place":2}',
             '{"type":"installed","workshopId":"5","folder":"/f"}', '{"type":"done"}']
    quennet = Quennet(fake_quennet(tmp_path, "".join(f"echo '{line}'; " for line in lines)))
    assert quennet.download(["5"]) == [Outcome("5", True, folder="/f")]
    assert UnknownRecord("queued", {"workshopId": "5", "place": 2}) in list(quennet.run(["download", "5"]))
