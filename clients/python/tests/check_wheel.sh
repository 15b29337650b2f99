#!/bin/sh
# The Linux wheel as a launcher's user would get it: made by the release's own code (scripts/wheel.py)
# from this build's quennet and Valve's library, twice, byte-identical; installed with pip into a
# fresh venv with no index; then, from another folder and with no path given, quennet found inside
# the installed package beside Valve's library (no Steam client runs here: "steam_not_running"), and
# the README's complete example run with the installed package against the simulated Steam.
# Usage: check_wheel.sh <python> <work folder> <Valve's libsteam_api.so>
set -eu
python=$1
work=$2
library=$3
here=$(cd "$(dirname "$0")/../../.." && pwd)
if [ ! -f "$library" ]; then echo "skip: Valve's Steam library was not fetched: no $library"; exit 77; fi
"$python" -c "import venv, ensurepip" 2>/dev/null || { echo "skip: $python has no venv with pip (python3-venv)"; exit 77; }
rm -rf "$work"
mkdir -p "$work/elsewhere"

wheel=$("$python" "$here/scripts/wheel.py" --program "$QUENNET_TEST_EXE" --library "$library" --out "$work/a" --mtime 1700000000)
"$python" "$here/scripts/wheel.py" --program "$QUENNET_TEST_EXE" --library "$library" --out "$work/b" --mtime 1700000000 >/dev/null
cmp "$wheel" "$work/b/$(basename "$wheel")"
echo "wheel: $(basename "$wheel"), the same bytes twice"

"$python" -m venv "$work/venv"
"$work/venv/bin/python" -m pip install --no-index --no-cache-dir --disable-pip-version-check -q "$wheel"

cd "$work/elsewhere"
env -u QUENNET_PATH -u PYTHONPATH "$work/venv/bin/python" - <<'PY'
import os, sys, quennet
from quennet import Quennet, QuennetError
found = quennet.find_quennet()
assert found is not None and found.startswith(sys.prefix + os.sep), found
assert os.access(found, os.X_OK), f"{found} is not executable"
assert os.path.isfile(os.path.join(os.path.dirname(found), "libsteam_api.so"))
try:
    Quennet().whoami()
    raise SystemExit("whoami succeeded with no Steam client running")
except QuennetError as error:
    assert error.code == "steam_not_running", (error.code, error.message)
    assert error.message.startswith("Could not connect to Steam ("), error.message
    print(f"found {found} without a path; beside Valve's library it reports: {error.message}")
PY

# The README's complete example, as a new user would copy it.
sed -n '/^### A complete example/,/^```$/p' "$here/clients/python/README.md" | sed -n '/^```python$/,/^```$/p' | sed '1d;$d' >example.py
cp "$QUENNET_TEST_EXE" "$QUENNET_TEST_SIM_LIBRARY" .
env -u PYTHONPATH -u STEAM_SIM_SCENARIO QUENNET_PATH="$PWD/quennet" STEAM_SIM_STATE="$PWD/state.json" "$work/venv/bin/python" example.py >output.txt 2>&1
cat output.txt
expect() { grep -q -x -F "$1" output.txt || { echo "missing from the example's output: $1"; exit 1; }; }
expect "2222222222: 48000000 of 48000000 bytes"
expect "2222222222 installed in /home/survivor/.local/share/Steam/steamapps/workshop/content/221100/2222222222"
expect "2222222222 installed 48000000 bytes"
echo "the installed wheel works"
