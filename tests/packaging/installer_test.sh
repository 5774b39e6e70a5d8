#!/usr/bin/env bash
# Builds the release files of a build, checks that the zip holds exactly the
# Plugins-folder layout with the listed side files, and runs the installer
# silently under Wine into folders inside the build's prefix: one given with
# /D=, one named by a Winamp uninstall entry, and the default. Every file must
# land unchanged; a reinstall keeps a form handler its user changed and
# installs the new one beside it; the uninstaller removes what setup wrote and
# keeps what is the user's; while a player window is open, neither setup nor
# the uninstaller changes anything.
# Usage: installer_test.sh BUILD [DLL that must have been built [player_window.exe]]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: installer_test.sh BUILD [DLL]}" && pwd)
dll=${2:-$build/bin/gen_tunewire.dll}
player=${3:-$build/bin/player_window.exe}
for built in "$dll" "$player"; do
  [ -f "$built" ] || { echo "installer_test: $built is not built; run scripts/build.sh first" >&2; exit 1; }
done
export WINEPREFIX=$build/wineprefix
"$root/scripts/package.sh" "$build" "$build/dist" >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
staging=$build/package-staging
failures=0

uninstaller=uninstall-tunewire.exe
check_tree() {  # name, folder that should equal the staging folder
  if diff -r -x "$uninstaller" "$staging" "$2" >/dev/null 2>&1; then
    echo "ok   $1"
  else
    echo "FAIL $1: $2 differs from $staging"
    diff -r -x "$uninstaller" "$staging" "$2" || true
    failures=$((failures + 1))
  fi
}

scratch=$(mktemp -d "$WINEPREFIX/drive_c/tunewire-test.XXXXXX")
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp'
own_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tunewire'
default_dir=$WINEPREFIX/drive_c/Program\ Files/Winamp
[ -e "$default_dir" ] && default_existed=1 || default_existed=0
cleanup() {
  rm -rf "$scratch"
  "$build/wine-run.sh" reg delete "$uninstall_key" /f >/dev/null 2>&1 || true
  "$build/wine-run.sh" reg delete "$own_key" /f >/dev/null 2>&1 || true
  [ "$default_existed" = 1 ] || rm -rf "$default_dir"
}
trap cleanup EXIT
win_scratch='C:\'$(basename "$scratch")

mkdir "$scratch/unzipped"
unzip -q "$build/dist/tunewire-$version.zip" -d "$scratch/unzipped"
check_tree "zip holds the Plugins folder layout" "$scratch/unzipped"
check() {  # name, command that must succeed
  if "${@:2}" >/dev/null 2>&1; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}
listed=$(cd "$scratch/unzipped" && find . -type f | sort | tr '\n' ' ')
check "zip holds the listed files only ($listed)" test "$listed" = \
  "./gen_tunewire.dll ./gen_tunewire/MyFormHandler.php ./gen_tunewire/nowplaying.php ./gen_tunewire/overlay.html ./gen_tunewire/readme.txt "

installer=$build/dist/tunewire-$version-setup.exe
"$build/wine-run.sh" "$installer" /S "/D=$win_scratch\\Chosen"
check_tree "silent install into the folder given with /D=" "$scratch/Chosen/Plugins"
side=$scratch/Chosen/Plugins/gen_tunewire
check "uninstaller written" test -f "$side/$uninstaller"
check "Add/Remove Programs entry" "$build/wine-run.sh" reg query "$own_key" /v UninstallString

"$build/wine-run.sh" "$installer" /S "/D=$win_scratch\\Chosen"
check "reinstall over an unchanged handler replaces it, nothing beside it" test ! -e "$side/MyFormHandler.php.new"
echo "// my change" >>"$side/MyFormHandler.php"
touch -d '2001-01-01' "$side/MyFormHandler.php"
cp "$side/MyFormHandler.php" "$scratch/edited.php"
echo '<?php return [];' >"$side/MyFormHandler.config.php"
"$build/wine-run.sh" "$installer" /S "/D=$win_scratch\\Chosen"
check "reinstall keeps a changed handler" cmp "$scratch/edited.php" "$side/MyFormHandler.php"
check "reinstall puts the new handler beside it" cmp "$staging/gen_tunewire/MyFormHandler.php" "$side/MyFormHandler.php.new"
check "reinstall keeps the handler's settings file" test -f "$side/MyFormHandler.config.php"

# The player stand-in runs until its ready file is removed.
ready=$scratch/player-ready
"$build/wine-run.sh" "$player" "$win_scratch\\player-ready" &
player_pid=$!
for _ in $(seq 100); do [ -e "$ready" ] && break; sleep 0.1; done
check "player stand-in is running" test -e "$ready"
check "silent setup refuses while the player runs" bash -c "! '$build/wine-run.sh' '$installer' /S '/D=$win_scratch\\Busy'"
check "and writes nothing" test ! -e "$scratch/Busy"
check "silent uninstall refuses while the player runs" bash -c \
  "! '$build/wine-run.sh' '$side/$uninstaller' /S '_?=$win_scratch\\Chosen\\Plugins\\gen_tunewire'"
check "and removes nothing" test -f "$scratch/Chosen/Plugins/gen_tunewire.dll"
rm -f "$ready"
wait "$player_pid"

. "$root/scripts/settings-file.sh"
write_settings_file "$scratch/Chosen/Plugins/plugin.ini" example.com '/MyFormHandler.php?track='
"$build/wine-run.sh" "$side/$uninstaller" /S "_?=$win_scratch\\Chosen\\Plugins\\gen_tunewire"
rm -f "$side/$uninstaller"  # run in place with _?=, it cannot delete itself
left=$(cd "$scratch/Chosen/Plugins" && find . -type f | sort | tr '\n' ' ')
check "uninstall removes setup's files, keeps the user's ($left)" test "$left" = \
  "./gen_tunewire/MyFormHandler.config.php ./gen_tunewire/MyFormHandler.php ./plugin.ini "
check "uninstall removes the Add/Remove Programs entry" bash -c "! '$build/wine-run.sh' reg query '$own_key'"

"$build/wine-run.sh" reg add "$uninstall_key" /v UninstallString /t REG_SZ \
  /d "\"$win_scratch\\Registered\\UninstWA.exe\"" /f >/dev/null
"$build/wine-run.sh" "$installer" /S
check_tree "silent install into the folder of Winamp's uninstaller" "$scratch/Registered/Plugins"
"$build/wine-run.sh" reg delete "$uninstall_key" /f >/dev/null

if [ "$default_existed" = 0 ]; then
  "$build/wine-run.sh" "$installer" /S
  check_tree "silent install into Program Files without an uninstall entry" "$default_dir/Plugins"
fi

[ "$failures" = 0 ] && echo "installer_test: all checks passed" || echo "installer_test: $failures failed"
exit "$failures"
