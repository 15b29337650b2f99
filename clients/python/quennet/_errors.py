"""The two ways a call can fail as a whole: the run failed (QuennetError), or the caller cancelled
it (Cancelled)."""

from typing import Optional

from ._records import ErrorRecord

# What QuennetError.code can be:
#   steam_not_running  Steam is not running, not logged in, or its library could not be loaded
#   rejected           quennet refused the command line (a bad id, a bad option)
#   internal           quennet stopped on an internal error
#   crashed            quennet crashed or was killed by someone else
#   protocol           quennet wrote something that is not a record, or ended without an outcome
#   not_started        quennet could not be found or started
#   hung               quennet was still running past its deadline and was ended
CODES = ("steam_not_running", "rejected", "internal", "crashed", "protocol", "not_started", "hung")


class QuennetError(Exception):
    """A run of quennet that failed as a whole. Items that fail on their own do not raise this:
    their outcome says so."""

    def __init__(self, code: str, message: str, *, stderr: str = "", exit_code: Optional[int] = None,
                 signal: Optional[str] = None, record: Optional[ErrorRecord] = None) -> None:
        super().__init__(message)
        self.code = code
        self.message = message
        self.stderr = stderr  # everything quennet wrote to standard error
        self.exit_code = exit_code  # None when it was ended by a signal or never started
        self.signal = signal  # the signal's name, for example "SIGSEGV" (POSIX only)
        self.record = record  # quennet's own error record, when it wrote one

    def __repr__(self) -> str:
        return f"QuennetError({self.code!r}, {self.message!r})"


class Cancelled(Exception):
    """The caller's cancel event was set: quennet was ended before it finished."""

    def __init__(self) -> None:
        super().__init__("the quennet run was cancelled")
