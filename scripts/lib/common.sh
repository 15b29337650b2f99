# Sourced by the scripts: a line per phase with the time since the script started, and running a
# command as root (directly, or through sudo for a user who has it).
#
#   . scripts/lib/common.sh
#   script_name=demo
#   phase "building quennet"           -> "demo [  12s] building quennet" on standard error
#   as_root apt-get install ...        -> fails with a plain message when neither root nor sudo

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
