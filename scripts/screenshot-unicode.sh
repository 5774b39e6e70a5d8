#!/usr/bin/env bash
# Renders docs/unicode-demo.png: the pictures the shipped form handler drew for
# each title of the Unicode demo (demo.sh --unicode), one above the other.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
log=$(mktemp /tmp/tunewire-unicode-shot.XXXXXX)
trap 'rm -f "$log"' EXIT
bash "$root/scripts/demo.sh" --unicode >"$log" 2>&1 || { cat "$log" >&2; exit 1; }
images=$(sed -n "s/^demo: .*each title's image is in \(.*\)$/\1/p" "$log")
[ -f "$images/3.png" ] || { echo "screenshot-unicode.sh: the demo kept no picture of its third title" >&2; cat "$log" >&2; exit 1; }
convert "$images/1.png" "$images/2.png" "$images/3.png" -background white -splice 0x4 -append \
  -chop 0x4 "$root/docs/unicode-demo.png"
echo "screenshot-unicode.sh: wrote $root/docs/unicode-demo.png"
