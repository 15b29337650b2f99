"""Workshop ids as the caller gives them, and the tasks quennet makes of them: quennet reads an id
by its numeric value (leading zeros ignored) and runs adjacent repeats as one item, so the ids
7, "007", 8, 7 are three tasks: 7 (twice over), 8 and 7 again."""

import re
from collections import deque
from typing import Deque, Dict, Generic, List, Optional, Sequence, TypeVar, Union

WorkshopId = Union[int, str]

T = TypeVar("T")


def id_arguments(ids: Sequence[WorkshopId]) -> List[str]:
    """The ids as quennet's arguments, each as the caller wrote it. Raises TypeError or ValueError
    before anything starts: an argument that is not digits could be read as an option."""
    if isinstance(ids, (str, bytes)) or not isinstance(ids, Sequence) or len(ids) == 0:
        raise TypeError("workshop ids: expected a non-empty list of ints or decimal strings")
    written = []
    for id in ids:
        if isinstance(id, bool) or not isinstance(id, (int, str)):
            raise TypeError(f"workshop id {id!r}: expected an int or a decimal string")
        if isinstance(id, int):
            if id < 0:
                raise ValueError(f"workshop id {id}: expected a positive integer")
            written.append(str(id))
        elif re.fullmatch(r"[0-9]+", id) is None:
            raise ValueError(f"workshop id {id!r}: expected a string of the digits 0 to 9")
        else:
            written.append(id)
    return written


def _numeric(digits: str) -> str:
    """The id's numeric value, as digits without leading zeros (int() refuses very long texts)."""
    return digits.lstrip("0") or "0"


class Tasks(Generic[T]):
    """One outcome per task, found by the ids of quennet's records: a record is the outcome of the
    first task of its numeric id that has none yet."""

    def __init__(self, written: Sequence[str]) -> None:
        self.written = list(written)
        self._task_of: List[int] = []  # the task of each position
        self._first: List[int] = []  # the first position of each task
        self._open: Dict[str, Deque[int]] = {}  # by numeric id: its tasks without an outcome, in order
        previous = None
        for position, text in enumerate(written):
            key = _numeric(text)
            if key != previous:
                self._open.setdefault(key, deque()).append(len(self._first))
                self._first.append(position)
            self._task_of.append(len(self._first) - 1)
            previous = key
        self._outcomes: List[Optional[T]] = [None] * len(self._first)

    def settle(self, workshop_id: str, outcome: T) -> bool:
        """Gives `outcome` to the first open task of that id; False when there is none."""
        waiting = self._open.get(_numeric(workshop_id))
        if not waiting:
            return False
        self._outcomes[waiting.popleft()] = outcome
        return True

    def open_ids(self) -> List[str]:
        """The ids, as written, of the tasks without an outcome."""
        return [self.written[self._first[task]] for task, outcome in enumerate(self._outcomes) if outcome is None]

    def per_position(self) -> List[Optional[T]]:
        """Each position's task outcome, in the caller's order."""
        return [self._outcomes[task] for task in self._task_of]
