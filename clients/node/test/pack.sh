#!/bin/sh
# The package as a launcher would get it: `npm pack`, the tarball installed into an empty folder,
# and the README's example run from there against the simulated Steam with a state file. Proves
# that the published file list is complete. Usage: pack.sh <package source> <work folder>
set -eu
source=$1
work=$2
rm -rf "$work"
mkdir -p "$work/tarball" "$work/launcher/bin"

(cd "$source" && npm pack --pack-destination "$work/tarball" >"$work/pack.log" 2>&1) || { cat "$work/pack.log"; exit 1; }
tarball=$(ls "$work"/tarball/*.tgz)
echo "packed: $(tar -tzf "$tarball" | sort | tr '\n' ' ')"
unexpected=$(tar -tzf "$tarball" | grep -v -E '^package/(package\.json|README\.md|index\.js|index\.d\.ts|lib/[a-z]+\.js)$' || true)
if [ -n "$unexpected" ]; then echo "files that should not be published: $unexpected"; exit 1; fi

cd "$work/launcher"
echo '{"name": "launcher", "private": true}' >package.json
# A local tarball without dependencies needs no registry.
npm install --offline --no-audit --no-fund "$tarball" >npm.log 2>&1 || { cat npm.log; exit 1; }
if [ -n "$(ls node_modules | grep -v '^quennet$')" ]; then echo "run-time dependencies installed: $(ls node_modules)"; exit 1; fi

cp "$source/example/launcher.js" .
cp "$QUENNET_TEST_EXE" "$QUENNET_TEST_SIM_LIBRARY" bin/
export QUENNET_PATH="$PWD/bin/quennet" STEAM_SIM_STATE="$PWD/state.json"
unset STEAM_SIM_SCENARIO
status=0
node launcher.js 2222222222 1111111111 >output.txt 2>&1 || status=$?
cat output.txt
expect() {
  grep -q -x -F "$1" output.txt || { echo "missing from the example's output: $1"; exit 1; }
}
expect "Steam account: Survivor (76561198000000000)"
expect "2222222222: 100% (48000000 of 48000000 bytes)"
expect "2222222222: subscribed, installed, 48000000 bytes in /home/survivor/.local/share/Steam/steamapps/workshop/content/221100/2222222222"
[ "$status" -eq 0 ] || { echo "the example ended with status $status"; exit 1; }
echo "the packed package works"
