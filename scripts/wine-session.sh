# Sourced by the scripts that run Windows programs of a build: points Wine at
# the prefix $wine_prefix (of $TUNEWIRE_ARCH's kind), creates it once, and keeps one persistent wineserver for the whole run (each program
# then starts in a few hundredths of a second), ended when the calling script
# exits (an exit step, see exit-steps.sh). Needs $root.
#
# Source it only with DISPLAY set to the display the run will use: the first
# Wine process starts the prefix's desktop process on the display it sees,
# and later windows of the same server fail (or hang) if that was none.
export WINEPREFIX="$wine_prefix"
. "$root/scripts/wine-env.sh"
. "$root/scripts/exit-steps.sh"
mkdir -p "$WINEPREFIX"
# A server left from an earlier run may hold windows on an X display that is
# gone, and new windows would then hang: start from a fresh one. This ends
# whatever runs in the prefix, so a script that may run beside the tests
# (demo, bench) gives itself a prefix other than theirs.
wineserver -k >/dev/null 2>&1 || true
# wineserver answers 2 when a server is already running, which is fine.
wineserver -p >/dev/null 2>&1 || true
on_exit 'wineserver -k >/dev/null 2>&1'
"$root/scripts/wine-prefix.sh" "$WINEPREFIX"
