"""Turning one line of quennet's output into a record. Python's integers are exact at any size, so
byte counts above 2^53 need no care; what is checked is that each record kind carries the fields
it must, with the types it must."""

import json
import re
from dataclasses import dataclass
from typing import Any, Callable, ClassVar, Dict, List, Optional, Tuple, Type, Union


@dataclass(frozen=True)
class Account:
    """The "ready" record: who is logged in to Steam."""
    type: ClassVar[str] = "ready"
    steam_id: str
    persona: str


@dataclass(frozen=True)
class ItemState:
    """The "state" record of one item. folder is None when Steam has no install information."""
    type: ClassVar[str] = "state"
    workshop_id: str
    subscribed: bool
    installed: bool
    needs_update: bool
    downloading: bool
    folder: Optional[str]
    size_on_disk: int
    timestamp: int


@dataclass(frozen=True)
class Progress:
    type: ClassVar[str] = "progress"
    workshop_id: str
    bytes_done: int
    bytes_total: int


@dataclass(frozen=True)
class Installed:
    type: ClassVar[str] = "installed"
    workshop_id: str
    folder: str


@dataclass(frozen=True)
class Done:
    type: ClassVar[str] = "done"


@dataclass(frozen=True)
class ErrorRecord:
    """The "error" record: workshop_id is None when the failure concerns no single item."""
    type: ClassVar[str] = "error"
    code: str
    message: str
    workshop_id: Optional[str]


@dataclass(frozen=True)
class UnknownRecord:
    """A record of a kind this package does not know, from a newer quennet: its type and its
    fields as they were written."""
    type: str
    fields: Dict[str, Any]


Record = Union[Account, ItemState, Progress, Installed, Done, ErrorRecord, UnknownRecord]


class LineError(Exception):
    """A line that is not a record."""


_DIGITS = re.compile(r"[0-9]+")
_MISSING = object()
# Each field's allowed types and, where types are not enough, a check of its value. Types are
# compared exactly, so that True is no count and 1.0 no integer.
_Check = Tuple[Tuple[type, ...], Optional[Callable[[Any], object]]]
_ID: _Check = ((str,), _DIGITS.fullmatch)
_TEXT: _Check = ((str,), None)
_TEXT_OR_NULL: _Check = ((str, type(None)), None)
_FLAG: _Check = ((bool,), None)
_COUNT: _Check = ((int,), (0).__le__)

# Each kind: its class and its fields, in the order the class takes them.
_KINDS: Dict[str, Tuple[Type[Any], List[Tuple[str, _Check]]]] = {
    "ready": (Account, [("steamId", _ID), ("persona", _TEXT)]),
    "state": (ItemState, [("workshopId", _ID), ("subscribed", _FLAG), ("installed", _FLAG),
                          ("needsUpdate", _FLAG), ("downloading", _FLAG), ("folder", _TEXT_OR_NULL),
                          ("sizeOnDisk", _COUNT), ("timestamp", _COUNT)]),
    "progress": (Progress, [("workshopId", _ID), ("bytesDone", _COUNT), ("bytesTotal", _COUNT)]),
    "installed": (Installed, [("workshopId", _ID), ("folder", _TEXT)]),
    "done": (Done, []),
    # An error about a command-line argument carries that argument, which need not be digits.
    "error": (ErrorRecord, [("code", _TEXT), ("message", _TEXT), ("workshopId", _TEXT_OR_NULL)]),
}


def _no_repeated_keys(pairs: List[Tuple[str, Any]]) -> Dict[str, Any]:
    result: Dict[str, Any] = {}
    for key, value in pairs:
        if key in result:
            raise LineError(f'key "{key}" twice')
        result[key] = value
    return result


def _no_constants(name: str) -> Any:
    raise LineError(f"{name} is not JSON")


_DECODER = json.JSONDecoder(object_pairs_hook=_no_repeated_keys, parse_constant=_no_constants)


def parse_record(line: bytes) -> Record:
    """The record on one line (without its line feed). Raises LineError when it is not one."""
    try:
        value = _DECODER.decode(line.decode("utf-8"))
    except UnicodeDecodeError:
        raise LineError("not UTF-8") from None
    except ValueError as error:  # json.JSONDecodeError is one
        raise LineError(str(error)) from None
    if not isinstance(value, dict):
        raise LineError("not a JSON object")
    kind = value.get("type")
    if not isinstance(kind, str):
        raise LineError('no "type"')
    if kind not in _KINDS:
        return UnknownRecord(kind, {k: v for k, v in value.items() if k != "type"})
    cls, fields = _KINDS[kind]
    arguments = []
    for key, (types, valid) in fields:
        field = value.get(key, _MISSING)
        if type(field) not in types or (valid is not None and not valid(field)):
            raise LineError(f'"{kind}" record with a bad "{key}"')
        arguments.append(field)
    return cls(*arguments)  # type: ignore[no-any-return]
