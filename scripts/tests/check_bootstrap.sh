#!/bin/sh
# scripts/bootstrap as a user who is not root, on a machine that lacks packages: with sudo it must
# install through sudo and say beforehand what and how much; without sudo it must fail with a
# message that says what to do, and install nothing. apt-get, dpkg-query and sudo are stand-ins that
# record their calls; the user is "nobody". Acting as another user needs root: a user with sudo
# runs this through it.
set -eu
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    exec sudo -n sh "$0" "$@"
  fi
  echo "skip: acting as another user needs root, or sudo without a password"
  exit 77
fi
here=$(cd "$(dirname "$0")/../.." && pwd)
# A folder of its own under /tmp: the user "nobody" must reach it, and the checkout may lie in a
# folder that only root can enter (a clone made in `mktemp -d`, say).
work=$(mktemp -d "${TMPDIR:-/tmp}/quennet-bootstrap.XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
mkdir -p "$work/tree/scripts" "$work/with-sudo" "$work/without-sudo"
cp -R "$here/scripts/bootstrap" "$here/scripts/lib" "$work/tree/scripts/"

cat >"$work/without-sudo/dpkg-query" <<'STUB'
#!/bin/sh
exit 1
STUB
cat >"$work/without-sudo/apt-get" <<'STUB'
#!/bin/sh
echo "apt-get as $(id -u): $*" >>"$CALLS"
case "$*" in
  *--assume-no*) echo "Need to get 123 MB of archives."
                 echo "After this operation, 456 MB of additional disk space will be used." ;;
esac
STUB
cp "$work/without-sudo/dpkg-query" "$work/without-sudo/apt-get" "$work/with-sudo/"
cat >"$work/with-sudo/sudo" <<'STUB'
#!/bin/sh
echo "sudo: $*" >>"$CALLS"
exec "$@"
STUB
chmod a+x "$work"/with-sudo/* "$work"/without-sudo/*
chmod -R a+rwX "$work"

failures=0
expect() {  # <what> <command>...
  what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
as_nobody() {  # <stub folder> <output file> [builds]
  stubs=$1 output=$2
  shift 2
  CALLS="$work/$stubs.calls" setpriv --reuid=65534 --regid=65534 --clear-groups \
    env PATH="$work/$stubs:/usr/bin:/bin" CALLS="$work/$stubs.calls" sh "$work/tree/scripts/bootstrap" "$@" >"$output" 2>&1
}

status=0
as_nobody with-sudo "$work/with-sudo.out" || status=$?
cat "$work/with-sudo.out"
expect "with sudo: exit status 0" [ "$status" -eq 0 ]
expect "with sudo: apt-get installs through sudo" grep -q "^sudo: env DEBIAN_FRONTEND=noninteractive apt-get -q install -y" "$work/with-sudo.calls"
expect "with sudo: apt-get is what sudo runs" grep -q "^apt-get as 65534: -q install -y" "$work/with-sudo.calls"
expect "with sudo: says how much before installing" grep -q "download 123 MB, 456 MB on disk" "$work/with-sudo.out"

# The demo's set: what the program and the simulated library need to build, and nothing more.
rm -f "$work/with-sudo.calls"
as_nobody with-sudo "$work/demo.out" demo || true
expect "demo: installs only what the program needs" \
  grep -q -x "apt-get as 65534: -q install -y --no-install-recommends cmake g++ ninja-build nlohmann-json3-dev" "$work/with-sudo.calls"

if [ -x /usr/bin/sudo ] || [ -x /bin/sudo ]; then
  echo "skip without sudo: this machine has sudo in /usr/bin, which the user would find"
else
  status=0
  as_nobody without-sudo "$work/without-sudo.out" || status=$?
  cat "$work/without-sudo.out"
  expect "without sudo: fails" [ "$status" -ne 0 ]
  expect "without sudo: says to run as root or install sudo" grep -q "Run this script as root" "$work/without-sudo.out"
  expect "without sudo: installs nothing" [ ! -e "$work/without-sudo.calls" ]
fi
[ "$failures" -eq 0 ]
