# Sourced by the scripts: a line per phase with the time since the script started, running a
# command as root (directly, or through sudo for a user who has it), and following a long command.
#
#   . scripts/lib/common.sh
#   script_name=demo
#   phase "building quennet"           -> "demo [  12s] building quennet" on standard error
#   sudo=$(root_prefix "installing")   -> "" for root, "sudo" for a user with it; else fails
#   follow build/x.log cmake --build ...  -> the command's output into the log, a line every 10 s

script_started=$(date +%s)
: "${script_name:=$(basename "$0")}"

phase() {
  printf '%s [%4ss] %s\n' "$script_name" "$(( $(date +%s) - script_started ))" "$*" >&2
}

# Empty when we are root, "sudo" when sudo is there; otherwise explains what to do and fails.
# $1 says what root is needed for.
root_prefix() {
  if [ "$(id -u)" -eq 0 ]; then
    echo ""
  elif command -v sudo >/dev/null 2>&1; then
    echo "sudo"
  else
    echo "$script_name: $1 needs root, and sudo is not installed. Run this script as root" \
         "(for example: su -c '$0'), or install sudo and give your user the right to use it." >&2
    return 1
  fi
}

# Runs a command with its output in a log, and meanwhile says every 10 s how far it got: the last
# step of ninja's "[n/N]" lines as a percentage, or else the log's last line. Returns the command's
# exit status; on failure the caller shows the log's end.
follow() {  # <log> <command>...
  follow_log=$1
  shift
  "$@" >"$follow_log" 2>&1 </dev/null &
  follow_pid=$!
  # A background job of a script ignores Ctrl-C: take it down with us.
  trap 'kill $follow_pid 2>/dev/null; exit 130' INT TERM
  follow_ticks=0
  while kill -0 "$follow_pid" 2>/dev/null; do
    sleep 1
    follow_ticks=$((follow_ticks + 1))
    [ $((follow_ticks % 10)) -eq 0 ] || continue
    follow_step=$(grep -o '^\[[0-9]*/[0-9]*\]' "$follow_log" | tail -n 1 | tr -d '[]')
    if [ -n "$follow_step" ]; then
      follow_line="step ${follow_step%/*} of ${follow_step#*/} ($(( ${follow_step%/*} * 100 / ${follow_step#*/} ))%)"
    else
      follow_line=$(grep -v '^[[:space:]]*$' "$follow_log" | tail -n 1 | cut -c 1-100)
    fi
    phase "  ... ${follow_line:-working}"
  done
  follow_status=0
  wait "$follow_pid" || follow_status=$?
  trap - INT TERM
  return $follow_status
}

# Node.js, and so npm, trusts only the certificates it carries, where apt, git and curl trust the
# system's (a company's own among them, in /etc/ssl/certs): have npm trust those too, unless the
# user chose otherwise.
trust_system_certificates() {
  if [ -z "${NODE_EXTRA_CA_CERTS:-}" ] && [ -f /etc/ssl/certs/ca-certificates.crt ]; then
    NODE_EXTRA_CA_CERTS=/etc/ssl/certs/ca-certificates.crt
    export NODE_EXTRA_CA_CERTS
  fi
}
