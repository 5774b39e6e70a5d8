# Sourced by scripts whose parts each need to clean up on exit: on_exit adds a
# command to run when the script exits, so a part adds its own step instead of
# replacing another's trap. Steps run last added first, each even if one fails.
if ! declare -F on_exit >/dev/null; then
  exit_steps=()
  on_exit() { exit_steps=("$1" "${exit_steps[@]}"); }
  run_exit_steps() {
    local step
    for step in "${exit_steps[@]}"; do eval "$step" || true; done
  }
  trap run_exit_steps EXIT
fi
