#!/usr/bin/env bash
# Renders docs/overlay.png: the shipped overlay.html in headless Chromium over a
# stand-in scene, showing a title posted to the shipped form handler. The
# overlay test takes the picture while it runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
command -v chromium >/dev/null || { echo "screenshot-overlay.sh: chromium is missing; run scripts/setup.sh" >&2; exit 1; }
php "$root/tests/server/overlay_test.php" "$root/server" "$root/docs/overlay.png"
echo "screenshot-overlay.sh: wrote $root/docs/overlay.png"
