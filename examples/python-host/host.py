#!/usr/bin/env python3
"""An example host for quennet, as a Python launcher would be: it runs quennet through the quennet
package (clients/python) and draws one progress bar per Workshop item. The package does the
starting, the reading of records and the judging of the run; what is left here is the drawing.

    python3 host.py [--quennet PATH] <command> [workshop ids...]
    QUENNET=PATH python3 host.py download 1559212036 1564026768

Exit status: 0 everything succeeded; 1 quennet reported failures; 2 quennet could not be run, was
killed, or broke its protocol.
"""

import os
import sys
from dataclasses import dataclass
from typing import Dict, List, Optional, TextIO, Tuple

# In your launcher, after `pip install quennet-<version>-....whl`: just `import quennet`.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "clients", "python"))
from quennet import ErrorRecord, ItemState, Quennet, QuennetError  # noqa: E402

# ---- Showing it ---------------------------------------------------------------------------------


@dataclass
class Item:
    """What the screen shows of one item: bytes so far, or its outcome."""
    id: str
    done: int = 0
    total: int = 0
    outcome: Optional[str] = None
    text: str = ""


def bar(item: Item, width: int) -> str:
    if item.total == 0:
        return f"[{' ' * width}]    ?"
    done = min(item.done, item.total)
    filled = done * width // item.total
    tenths = done * 1000 // item.total
    percent = f"{tenths // 10}.{tenths % 10}%".rjust(6)
    return f"[{'#' * filled}{'-' * (width - filled)}] {percent}  {megabytes(done)} of {megabytes(item.total)} MB"


def megabytes(count: int) -> str:
    return f"{count // 1000 / 1000:.1f}"


def item_line(item: Item) -> str:
    return f"{item.id}  {bar(item, 30) if item.outcome is None else item.text}"


class Screen:
    """On a terminal: one line per item, redrawn in place. Elsewhere (a pipe, a log file): one line
    per change, which is what a log wants anyway."""

    def __init__(self, out: TextIO) -> None:
        self.out = out
        self.live = out.isatty()
        self.drawn = 0
        self.items: Dict[str, Item] = {}

    def say(self, text: str) -> None:
        self.clear()
        print(text, file=self.out, flush=True)

    def show(self, id: str, **change: object) -> None:
        item = self.items.setdefault(id, Item(id))
        for key, value in change.items():
            setattr(item, key, value)
        if not self.live:
            print(item_line(item), file=self.out, flush=True)
            return
        self.clear()
        width = os.get_terminal_size(self.out.fileno()).columns
        for each in self.items.values():
            print(item_line(each)[:width - 1], file=self.out)
        self.out.flush()
        self.drawn = len(self.items)

    def failed(self, error: ErrorRecord, id: Optional[str] = None) -> None:
        self.show(id or error.workshop_id or "?", outcome="failed", text=f"failed ({error.code}): {error.message}")

    def clear(self) -> None:
        if self.drawn > 0:
            self.out.write(f"\x1b[{self.drawn}F\x1b[J")  # up to the first item line, erase below
        self.drawn = 0

    def finish(self) -> None:
        """Leaves the final state of every item on the screen."""
        if self.live:
            self.clear()
            for item in self.items.values():
                print(item_line(item), file=self.out)

# ---- Running quennet ----------------------------------------------------------------------------


def state_text(state: ItemState) -> str:
    flags = [name for name, on in (("subscribed", state.subscribed), ("installed", state.installed),
                                   ("needsUpdate", state.needs_update), ("downloading", state.downloading)) if on]
    where = "" if state.folder is None else f"; {state.size_on_disk} bytes in {state.folder}"
    return (", ".join(flags) or "not subscribed") + where


def run_command(quennet: Quennet, command: str, ids: List[str], screen: Screen) -> Tuple[int, str]:
    """Runs the command, showing each item's outcome; returns the exit status and verdict line."""
    account = quennet.whoami()  # a run of its own: Steam is there, and who is logged in
    screen.say(f"Steam account: {account.persona} ({account.steam_id})")
    if command == "whoami":
        pass
    elif command == "status":
        states = quennet.status(ids)
        for state in states:
            screen.show(state.workshop_id, outcome="state", text=state_text(state))
    elif command == "download":
        quennet.download(ids,
                         on_progress=lambda p: screen.show(p.workshop_id, done=p.bytes_done, total=p.bytes_total),
                         on_installed=lambda i: screen.show(i.workshop_id, outcome="installed", text=f"installed in {i.folder}"),
                         on_item_error=screen.failed)
    elif command == "unsubscribe":
        for outcome in quennet.unsubscribe(ids):
            if outcome.error is None:
                screen.show(outcome.workshop_id, outcome="unsubscribed", text="unsubscribed")
            else:
                screen.failed(outcome.error, outcome.workshop_id)
    else:
        # Left to quennet, which refuses it with its usage text.
        for _ in quennet.run([command, *ids]):
            pass
    failures = sum(1 for item in screen.items.values() if item.outcome == "failed")
    if failures == 0:
        return 0, "quennet: done"
    return 1, f"quennet failed: {failures} item{'' if failures == 1 else 's'} failed"


def whole_run_verdict(error: QuennetError, screen: Screen) -> Tuple[int, str]:
    """The verdict on a run that failed as a whole."""
    if error.record is not None:
        # Steam out of reach, or a command line quennet refused: quennet's own error record.
        screen.say(f"error ({error.record.code}): {error.message}")
        return 1, f"quennet failed: {error.record.code}: {error.message}"
    if error.code in ("internal", "not_started"):
        return 2, error.message
    return 2, f"quennet failed ({error.code}): {error.message}"


def main(argv: List[str]) -> int:
    path = os.environ.get("QUENNET")
    if argv[:1] == ["--quennet"] and len(argv) > 1:
        path, argv = argv[1], argv[2:]
    if not path or not argv:
        print("usage: host.py [--quennet PATH] <command> [workshop ids...]\n"
              "       (or set QUENNET to the path of quennet)", file=sys.stderr)
        return 2
    screen = Screen(sys.stdout)
    try:
        status, verdict = run_command(Quennet(path), argv[0], argv[1:], screen)
    except QuennetError as error:
        status, verdict = whole_run_verdict(error, screen)
    screen.finish()
    screen.say(verdict)
    return status


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
