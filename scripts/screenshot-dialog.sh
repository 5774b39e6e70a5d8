#!/usr/bin/env bash
# Renders the configuration dialog of the built plugin under Xvfb and saves it
# as a PNG (by default docs/config-dialog.png, which the README shows).
# Usage: scripts/screenshot-dialog.sh [BUILD_DIR] [OUTPUT_PNG] [enhanced]
# "enhanced" shows the Enhanced Features dialog instead. TUNEWIRE_DPI (96 by
# default, 144 for 150 %) is the screen's resolution the dialogs scale to.
# The dialog is opened through the DLL's own export and config entry, in a Wine
# prefix of its own inside the build folder, so running tests are not disturbed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"

if [ "${1:-}" = "--on-display" ]; then
  build=$2 out=$3 which=${4:-}
  export WINEPREFIX="$build/wineprefix-screenshot"
  . "$root/scripts/wine-env.sh"
  "$root/scripts/wine-prefix.sh" "$WINEPREFIX"
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "${TUNEWIRE_DPI:-96}" /f >/dev/null 2>&1
  work=$(mktemp -d)
  trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
  rect="$work/rect.txt"
  # Output goes to a file: Wine's helpers would hold a pipe open.
  wine "$build/bin/config_dialog_preview.exe" "$(winepath -w "$rect")" 3000 ${which:+"$which"} \
       >"$work/preview.log" 2>&1 </dev/null &
  preview=$!
  for _ in $(seq 1 600); do
    [ -s "$rect" ] && break
    kill -0 "$preview" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$rect" ]; then
    echo "screenshot-dialog.sh: the dialog did not appear" >&2
    cat "$work/preview.log" >&2
    exit 1
  fi
  read -r x y width height <"$rect"
  import -silent -window root -crop "${width}x${height}+${x}+${y}" +repage "$out"
  wait "$preview"
  exit 0
fi

build=$(cd "${1:-$arch_build}" 2>/dev/null && pwd) || { echo "screenshot-dialog.sh: no build folder ${1:-$arch_build}; run scripts/build.sh" >&2; exit 1; }
out=${2:-$root/docs/config-dialog.png}
for tool in xvfb-run import; do
  command -v "$tool" >/dev/null || { echo "screenshot-dialog.sh: $tool is missing; run scripts/setup.sh" >&2; exit 1; }
done
[ -f "$build/bin/config_dialog_preview.exe" ] || { echo "screenshot-dialog.sh: build first: scripts/build.sh $build" >&2; exit 1; }
mkdir -p "$(dirname "$out")"
out=$(cd "$(dirname "$out")" && pwd)/$(basename "$out")
xvfb-run -a -s "-screen 0 1024x768x24" "$0" --on-display "$build" "$out" "${3:-}"
echo "screenshot-dialog.sh: wrote $out"
