#!/usr/bin/env bash
# Creates a quiet, unattended 32-bit Wine prefix at $1 once; later calls return
# at once. Safe to call from several processes at the same time.
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh PREFIX}
[ -f "$prefix/.tunewire-ready" ] && exit 0

export WINEPREFIX="$prefix"
. "$(dirname "$0")/wine-env.sh"
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.tunewire-ready" ] && exit 0

echo "wine-prefix.sh: creating $prefix" >&2
wineboot -i >/dev/null 2>&1
# A crashing program must fail, not wait for someone to close a crash dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# Without a window manager Wine waits ~2 s whenever a managed window closes.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
touch "$prefix/.tunewire-ready"
