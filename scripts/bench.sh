#!/usr/bin/env bash
# Builds the plugin and bench.exe, then runs the bench under Wine on its own
# Xvfb display and prints its table of performance figures (about a minute
# and a half). Build folder: $TUNEWIRE_BUILD_DIR, default build/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TUNEWIRE_BUILD_DIR:-$root/build}

# The player stand-in's window needs a display.
display_targets=(gen_tunewire bench)
. "$root/scripts/on-display.sh"

# Wine's background processes inherit our standard output, so the table goes
# through a file rather than a pipe.
out=$(mktemp /tmp/tunewire-bench.XXXXXX)
on_exit 'rm -f "$out"'
status=0
wine "$build/bin/bench.exe" >"$out" || status=$?
cat "$out"
exit "$status"
