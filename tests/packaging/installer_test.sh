#!/usr/bin/env bash
# Builds the release files of a build, checks that the zip holds exactly the
# Plugins-folder layout with the listed side files, and runs the installer
# silently under Wine into folders inside the build's prefix: one given with
# /D=, one named by a Winamp uninstall entry, and the default. Every file must
# land unchanged; setup refuses a folder without winamp.exe; a reinstall keeps
# the side files their user changed (told by content, not by time) and
# installs the new ones beside them; the uninstaller removes what setup wrote
# and keeps what is the user's; while a player window is open or another
# program holds a file, neither setup nor the uninstaller changes anything,
# and a failure on the way never leaves a new DLL with old side files. Then
# setup runs with its pages, driven by setup_driver.exe.
# Usage: installer_test.sh BUILD [DLL that must have been built [player_window.exe]]
# (file_holder.exe and setup_driver.exe are taken from beside player_window.exe)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: installer_test.sh BUILD [DLL]}" && pwd)
dll=${2:-$build/bin/gen_tunewire.dll}
player=${3:-$build/bin/player_window.exe}
holder=$(dirname "$player")/file_holder.exe
driver=$(dirname "$player")/setup_driver.exe
for built in "$dll" "$player" "$holder" "$driver"; do
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
  "./gen_tunewire.dll ./gen_tunewire/MyFormHandler.config.example.php ./gen_tunewire/MyFormHandler.php ./gen_tunewire/nowplaying.php ./gen_tunewire/overlay.html ./gen_tunewire/readme.txt "

# What a silent run says: its log in Wine's TEMP folder.
wine_temp=$("$build/wine-run.sh" cmd /c echo %TEMP% | tr -d '\r')
log=$WINEPREFIX/drive_c/$(printf '%s' "${wine_temp#?:\\}" | tr '\\' /)/tunewire-setup.log
logged() {  # words the last silent run's log must hold
  grep -qF "$1" "$log"
}
player_folder() {  # a folder that holds the player, as setup requires
  mkdir -p "$scratch/$1"
  touch "$scratch/$1/winamp.exe"
}

installer=$build/dist/tunewire-$version-setup.exe
mkdir "$scratch/NoPlayer"
check "silent setup refuses a folder without winamp.exe" bash -c "! '$build/wine-run.sh' '$installer' /S '/D=$win_scratch\\NoPlayer'"
check "and writes nothing" test ! -e "$scratch/NoPlayer/Plugins"
check "and its log says why" logged 'does not hold Winamp (winamp.exe)'

player_folder Chosen
"$build/wine-run.sh" "$installer" /S "/D=$win_scratch\\Chosen"
check_tree "silent install into the folder given with /D=" "$scratch/Chosen/Plugins"
side=$scratch/Chosen/Plugins/gen_tunewire
check "uninstaller written" test -f "$side/$uninstaller"
check "Add/Remove Programs entry" "$build/wine-run.sh" reg query "$own_key" /v UninstallString
check "the log tells to restart Winamp and where Configure is" logged 'Restart Winamp to load the plugin; its Configure button'

"$build/wine-run.sh" "$installer" /S "/D=$win_scratch\\Chosen"
check "reinstall over unchanged side files replaces them, nothing beside them" \
  test -z "$(find "$side" -name '*.new')"
editable=(MyFormHandler.php nowplaying.php overlay.html)
for name in "${editable[@]}"; do
  echo "<!-- my change -->" >>"$side/$name"
  cp "$side/$name" "$scratch/edited-$name"
done
touch -d '2001-01-01' "$side/MyFormHandler.php"
echo '<?php return [];' >"$side/MyFormHandler.config.php"
"$build/wine-run.sh" "$installer" /S "/D=$win_scratch\\Chosen"
for name in "${editable[@]}"; do
  check "reinstall keeps a changed $name" cmp "$scratch/edited-$name" "$side/$name"
  check "reinstall puts the new $name beside it" cmp "$staging/gen_tunewire/$name" "$side/$name.new"
  check "the log names the kept $name" logged "Kept your $name"
done
check "reinstall keeps the handler's settings file" test -f "$side/MyFormHandler.config.php"

# A copy from the zip, or of an earlier release, has its own time stamps and
# no record in the registry: its content says it is unchanged.
player_folder Unzipped
cp -r "$scratch/unzipped" "$scratch/Unzipped/Plugins"
touch -d '2002-02-02' "$scratch/Unzipped/Plugins/gen_tunewire/"*
"$build/wine-run.sh" "$installer" /S "/D=$win_scratch\\Unzipped"
check_tree "install over the zip's files replaces them, nothing kept beside them" "$scratch/Unzipped/Plugins"

# Another program holds the DLL: a silent run stops before writing anything.
printf 'the old plugin' >"$scratch/Unzipped/Plugins/gen_tunewire.dll"
printf 'an old readme' >"$scratch/Unzipped/Plugins/gen_tunewire/readme.txt"
before=$(cd "$scratch/Unzipped" && find . -type f -exec md5sum {} + | sort)
"$build/wine-run.sh" "$holder" "$win_scratch\\Unzipped\\Plugins\\gen_tunewire.dll" "$win_scratch\\holder-ready" &
holder_pid=$!
for _ in $(seq 600); do [ -e "$scratch/holder-ready" ] && break; sleep 0.1; done
check "file holder is holding the DLL" test -e "$scratch/holder-ready"
check "silent setup refuses while another program holds the DLL" \
  bash -c "! '$build/wine-run.sh' '$installer' /S '/D=$win_scratch\\Unzipped'"
check "and its log says the DLL is in use" logged 'gen_tunewire.dll is in use by another program'
check "and changes nothing" test "$before" = "$(cd "$scratch/Unzipped" && find . -type f -exec md5sum {} + | sort)"
rm -f "$scratch/holder-ready"
wait "$holder_pid"

# A side file that cannot be written stops setup before the DLL is touched.
rm "$scratch/Unzipped/Plugins/gen_tunewire/readme.txt"
mkdir "$scratch/Unzipped/Plugins/gen_tunewire/readme.txt"
check "silent setup stops when a side file cannot be written" \
  bash -c "! '$build/wine-run.sh' '$installer' /S '/D=$win_scratch\\Unzipped'"
check "and its log names the file" logged 'Could not write'
check "and the old DLL stays" test "$(cat "$scratch/Unzipped/Plugins/gen_tunewire.dll")" = 'the old plugin'

# The player stand-in runs until its ready file is removed.
ready=$scratch/player-ready
"$build/wine-run.sh" "$player" "$win_scratch\\player-ready" &
player_pid=$!
# A minute at most: starting a Wine program on a loaded machine is slow.
for _ in $(seq 600); do [ -e "$ready" ] && break; sleep 0.1; done
check "player stand-in is running" test -e "$ready"
player_folder Busy
check "silent setup refuses while the player runs" bash -c "! '$build/wine-run.sh' '$installer' /S '/D=$win_scratch\\Busy'"
check "and writes nothing" test ! -e "$scratch/Busy/Plugins"
check "and its log says why" logged 'Cancelled: Winamp is running.'
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
  "./gen_tunewire/MyFormHandler.config.php ./gen_tunewire/MyFormHandler.php ./gen_tunewire/nowplaying.php ./gen_tunewire/overlay.html ./plugin.ini "

player_folder Clean
"$build/wine-run.sh" "$installer" /S "/D=$win_scratch\\Clean"
"$build/wine-run.sh" "$scratch/Clean/Plugins/gen_tunewire/$uninstaller" /S "_?=$win_scratch\\Clean\\Plugins\\gen_tunewire"
rm -f "$scratch/Clean/Plugins/gen_tunewire/$uninstaller"
check "uninstall removes unchanged side files, whatever their time" test -z "$(find "$scratch/Clean/Plugins" -type f)"
check "uninstall removes the Add/Remove Programs entry" bash -c "! '$build/wine-run.sh' reg query '$own_key'"

"$build/wine-run.sh" reg add "$uninstall_key" /v UninstallString /t REG_SZ \
  /d "\"$win_scratch\\Registered\\UninstWA.exe\"" /f >/dev/null
player_folder Registered
"$build/wine-run.sh" "$installer" /S
check_tree "silent install into the folder of Winamp's uninstaller" "$scratch/Registered/Plugins"
"$build/wine-run.sh" reg delete "$uninstall_key" /f >/dev/null

if [ "$default_existed" = 0 ]; then
  mkdir -p "$default_dir"
  touch "$default_dir/winamp.exe"
  "$build/wine-run.sh" "$installer" /S
  check_tree "silent install into Program Files without an uninstall entry" "$default_dir/Plugins"
fi

# With its pages: a folder without winamp.exe is refused on the page, a held
# DLL is named and Retry goes on once it is free, the finish page says what
# to do next.
pages_failures=$failures
player_folder Gui
mkdir -p "$scratch/Gui/Plugins"
cp "$dll" "$scratch/Gui/Plugins/gen_tunewire.dll"
"$build/wine-run.sh" "$driver" "$installer" "$win_scratch\\NoPlayer" "$win_scratch\\Gui" "$win_scratch\\driver-report.txt" || true
report=$scratch/driver-report.txt
reported() {  # words a line of the driver's report must hold
  grep -qF -- "$1" "$report"
}
check "pages: a folder without winamp.exe is refused on the page" reported 'folder box: C:\'"$(basename "$scratch")"'\NoPlayer does not hold Winamp (winamp.exe).'
check "pages: a held DLL is named, with the player as the likely holder" reported 'held box: gen_tunewire.dll is in use: Winamp (or another program) holds it.'
check "pages: the finish page says to restart Winamp" reported 'Restart Winamp (close it and start it again)'
check "pages: the finish page says where Configure is" reported "Preferences (Ctrl+P), choose Plug-ins, then General Purpose, select the Tunewire plugin and click Configure"
check "pages: setup ends well" reported 'exit: 0'
check_tree "pages: Retry once the DLL is free installs every file" "$scratch/Gui/Plugins"
[ "$failures" = "$pages_failures" ] || cat "$report"

[ "$failures" = 0 ] && echo "installer_test: all checks passed" || echo "installer_test: $failures failed"
exit "$failures"
