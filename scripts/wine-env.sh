# Sourced by everything that runs Wine for this project: the one environment
# every Wine process shares. The caller sets WINEPREFIX.
export WINEARCH=win32 WINEDEBUG=-all
# mscoree and mshtml off: no prompt to install .NET or Gecko into a new prefix.
# winemenubuilder off: programs run here must not add folders or entries to the
# desktop's menus.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
