# Sourced by everything that runs Wine for this project: the one environment
# every Wine process shares. The caller sets WINEPREFIX and TUNEWIRE_ARCH
# (x86 or x86_64, see arch.sh), which picks the loader and the server: a
# prefix is 32- or 64-bit for good, and each kind has its own.
case "${TUNEWIRE_ARCH:?wine-env.sh needs TUNEWIRE_ARCH}" in
  x86) export WINEARCH=win32 WINELOADER=/usr/lib/wine/wine WINESERVER=/usr/lib/wine/wineserver32 ;;
  # /usr/bin/wine would pick the 32-bit loader wherever wine32 is installed.
  x86_64) export WINEARCH=win64 WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64 ;;
  *) echo "wine-env.sh: TUNEWIRE_ARCH is x86 or x86_64, not '$TUNEWIRE_ARCH'" >&2; exit 2 ;;
esac
export WINEDEBUG=-all
# mscoree and mshtml off: no prompt to install .NET or Gecko into a new prefix.
# winemenubuilder off: programs run here must not add folders or entries to the
# desktop's menus.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The scripts say wine, wineserver and winepath as usual and get this kind's.
wine() { "$WINELOADER" "$@"; }
wineserver() { "$WINESERVER" "$@"; }
winepath() { "$WINELOADER" winepath "$@"; }
