# Shared by the bench scripts: sourced, never run.

# Stops the script, naming the first tool (a path or a command) it lacks.
require_tools() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "$(basename "$0"): $tool not found" >&2
      exit 1
    fi
  done
}

# Sets `work` to a fresh folder that is removed when the script ends.
make_work_folder() {
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
}
