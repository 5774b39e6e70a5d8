#!/usr/bin/env bash
# Builds the plugin, its tools and its tests, and runs the whole suite under
# Wine on one Xvfb display. Installs what it needs first. Arguments go to ctest.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TUNEWIRE_BUILD_DIR:-$root/build}

if [ -z "${TUNEWIRE_DISPLAY_READY:-}" ]; then
  "$root/scripts/setup.sh"
  "$root/scripts/build.sh" "$build"
  # Every Wine process of the run, the prefix's own included, must live on
  # the same display: see wine-session.sh.
  TUNEWIRE_DISPLAY_READY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$@"
fi

. "$root/scripts/wine-session.sh"
# Most tests spend their time waiting for the monitor's one-second polls, so
# four run at once even on two cores.
ctest --test-dir "$build" --output-on-failure -j 4 "$@"
