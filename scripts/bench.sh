#!/usr/bin/env bash
# Builds the plugin and bench.exe, then runs the bench under Wine on its own
# Xvfb display and prints its table of performance figures (about a minute
# and a half). Build folder: $TUNEWIRE_BUILD_DIR, default build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TUNEWIRE_BUILD_DIR:-$root/build}

if [ -z "${TUNEWIRE_DISPLAY_READY:-}" ]; then
  "$root/scripts/setup.sh"
  "$root/scripts/build.sh" "$build" gen_tunewire bench >/dev/null
  # The player stand-in's window needs a display, shared by every Wine process of the run.
  TUNEWIRE_DISPLAY_READY=1 exec xvfb-run -a bash "$0" "$@"
fi
. "$root/scripts/wine-session.sh"

# Wine's background processes inherit our standard output, so the table goes
# through a file rather than a pipe.
out=$(mktemp /tmp/tunewire-bench.XXXXXX)
trap 'rm -f "$out"; wineserver -k >/dev/null 2>&1 || true' EXIT
status=0
wine "$build/bin/bench.exe" >"$out" || status=$?
cat "$out"
exit "$status"
