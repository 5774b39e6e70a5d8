#!/usr/bin/env bash
# Creates a quiet, unattended Wine prefix at $1 once, of the kind TUNEWIRE_ARCH
# names; later calls return at once. Safe to call from several processes at
# the same time. When Wine cannot start, its own words are printed.
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh PREFIX}
[ -f "$prefix/.tunewire-ready" ] && exit 0

export WINEPREFIX="$prefix"
. "$(dirname "$0")/wine-env.sh"
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.tunewire-ready" ] && exit 0

echo "wine-prefix.sh: creating $prefix ($WINEARCH)" >&2
log=$prefix.log
# Each step keeps Wine's output, and shows it when the step fails.
step() {
  if ! "$@" >"$log" 2>&1; then
    echo "wine-prefix.sh: '$*' failed; Wine said:" >&2
    cat "$log" >&2
    exit 1
  fi
}
step wine wineboot -i
# A crashing program must fail, not wait for someone to close a crash dialog.
step wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
# Without a window manager Wine waits ~2 s whenever a managed window closes.
step wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
rm -f "$log"
touch "$prefix/.tunewire-ready"
