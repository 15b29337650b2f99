"""What Quennet and AsyncQuennet share: where quennet is, its environment and working folder, and
how long a run may take."""

from typing import Dict, List, Optional, Sequence, Tuple

from ._errors import QuennetError
from ._locate import find_quennet, not_found_message
from ._verdict import deadline_for


class Options:
    def __init__(self, path: Optional[str] = None, env: Optional[Dict[str, str]] = None,
                 cwd: Optional[str] = None, *, deadline_secs: Optional[float] = None) -> None:
        self.path = path
        self.env = env
        self.cwd = cwd
        self.deadline_secs = deadline_secs

    def _program(self, args: List[str], deadline_secs: Optional[float]) -> Tuple[str, float]:
        """The program to run and the run's deadline: the call's, else the instance's, else the
        command's own limit and a margin."""
        file = find_quennet(self.path)
        if file is None:
            raise QuennetError("not_started", not_found_message())
        for deadline in (deadline_secs, self.deadline_secs):
            if deadline is not None:
                return file, deadline
        return file, deadline_for(args)


def run_arguments(args: Sequence[str]) -> List[str]:
    if isinstance(args, str) or not all(isinstance(arg, str) for arg in args):
        raise TypeError("run: expected a list of strings")
    return list(args)
