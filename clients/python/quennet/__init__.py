"""quennet for Python hosts: manage DayZ Steam Workshop items through quennet, a separate process
that talks to the local Steam client. Quennet has blocking methods (for a worker thread),
AsyncQuennet the same as coroutines."""

from ._asyncio import AsyncQuennet
from ._blocking import Quennet
from ._commands import Outcome
from ._errors import CODES, Cancelled, QuennetError
from ._ids import WorkshopId
from ._locate import find_quennet
from ._records import Account, Done, ErrorRecord, Installed, ItemState, Progress, Record, UnknownRecord

__version__ = "0.1.0"

__all__ = [
    "Account", "AsyncQuennet", "CODES", "Cancelled", "Done", "ErrorRecord", "Installed", "ItemState",
    "Outcome", "Progress", "Quennet", "QuennetError", "Record", "UnknownRecord", "WorkshopId",
    "find_quennet",
]
