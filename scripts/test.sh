#!/usr/bin/env bash
# Builds the plugin, its tools and its tests, and runs the whole suite under
# Wine on one Xvfb display. Installs what it needs first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TUNEWIRE_BUILD_DIR:-$root/build}

"$root/scripts/setup.sh"
"$root/scripts/build.sh" "$build"

export WINEPREFIX="$build/wineprefix"
# One persistent wineserver for the whole run: each test then starts in a few
# hundredths of a second instead of bringing up Wine's services again. It
# answers 2 when a server is already running, which is fine.
mkdir -p "$WINEPREFIX"
wineserver -p >/dev/null 2>&1 || true
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
"$root/scripts/wine-prefix.sh" "$WINEPREFIX"

status=0
xvfb-run -a -s "-screen 0 1280x1024x24" \
  ctest --test-dir "$build" --output-on-failure -j "$(nproc)" "$@" || status=$?
exit $status
