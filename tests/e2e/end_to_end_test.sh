#!/usr/bin/env bash
# The whole road on one machine: hostsim.exe plays two tracks through the real
# gen_tunewire.dll under Wine, posting to the shipped PHP handler served by
# PHP's built-in server. After the second track the handler's text file holds
# the second title and its image differs from the first track's. With
# --unicode the plugin runs in Unicode mode (Charset=utf-8) and the titles are
# Japanese and Cyrillic, which must arrive whole, not as question marks.
# Usage: end_to_end_test.sh BUILD [--unicode]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: end_to_end_test.sh BUILD [--unicode]}" && pwd)
unicode=${2:-}
if [ "$unicode" = --unicode ]; then
  first="月光 - 夜の街"
  second="Северный ветер - Зимняя дорога"
else
  first="First Artist - First Song"
  second="Second Artist - Second Song"
fi
work=$(mktemp -d)
php_pid=""
host_pid=""
cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null || true
  [ -n "$php_pid" ] && kill "$php_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
. "$root/scripts/loopback-lib.sh"
fail() { echo "FAIL: $*"; exit 1; }

mkdir "$work/www" "$work/plugins"
cp "$root/server/MyFormHandler.php" "$work/www/"
cp "$build/bin/gen_tunewire.dll" "$work/plugins/"

# A loopback address of its own keeps this apart from tests running beside it.
for _ in 1 2 3 4 5; do
  address=$(random_address)
  php -S "$address:80" -t "$work/www" >"$work/php.log" 2>&1 &
  php_pid=$!
  wait_for_port "$address" 80 "$php_pid" && break
  kill "$php_pid" 2>/dev/null || true
  php_pid=""
done
[ -n "$php_pid" ] || fail "PHP's server did not start: $(cat "$work/php.log")"

. "$root/scripts/settings-file.sh"
write_settings_file "$work/plugins/plugin.ini" "$address" '/MyFormHandler.php?track='
[ -z "$unicode" ] || printf 'Charset=utf-8\r\n' >>"$work/plugins/plugin.ini"
cat >"$work/playlist.txt" <<PLAYLIST
0    entry 1 "C:\\Music\\$first.mp3" "$first"
0    entry 2 "C:\\Music\\$second.mp3" "$second"
0    play 1 200
2500 play 2 180
5000 quit
PLAYLIST

"$build/wine-run.sh" "$build/bin/hostsim.exe" "$(windows_path "$work/plugins/gen_tunewire.dll")" \
  "$(windows_path "$work/playlist.txt")" >"$work/hostsim.log" 2>&1 &
host_pid=$!

wait_for_title() {
  for _ in $(seq 100); do
    [ "$(cat "$work/www/nowplaying.txt" 2>/dev/null)" = "$1" ] && return 0
    sleep 0.1
  done
  fail "the handler never stored \"$1\"; it holds \"$(cat "$work/www/nowplaying.txt" 2>/dev/null)\""
}
wait_for_title "$first"
cp "$work/www/nowplaying.png" "$work/first.png"
wait_for_title "$second"
wait "$host_pid" || fail "hostsim failed: $(cat "$work/hostsim.log")"
host_pid=""

[ "$(head -c 8 "$work/www/nowplaying.png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
  fail "nowplaying.png is not a PNG"
cmp -s "$work/first.png" "$work/www/nowplaying.png" && fail "the image did not change for the second track"
[ "$(grep -c ' POST /MyFormHandler.php' "$work/php.log")" = 2 ] ||
  fail "expected two posts: $(cat "$work/php.log")"
echo "end to end${unicode:+ (Unicode mode)}: two tracks posted, stored and drawn"
