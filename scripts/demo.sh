#!/usr/bin/env bash
# The main job on one machine: PHP's built-in server on 127.0.0.1:8080 serves the
# shipped form handler, and hostsim.exe (the player stand-in) plays a short
# playlist through the real gen_tunewire.dll under Wine. Prints each request as
# the server received it, with the title in its body, and each title as the
# handler stored it.
# Usage: demo.sh [--unicode] [--https] [--streamer]
#   --unicode  Charset=utf-8 and a playlist with Japanese, Cyrillic and emoji
#              titles, drawn with fonts that cover them
#   --https    the plugin posts to https://127.0.0.1:8443 through a TLS terminator
#   --streamer Quiet, TitleFile, StoppedText, Streams, TitleFormat and
#              PostFields set, a playlist with a tagged track and an
#              internet radio stream, and the form handler started only
#              some seconds after the player, so the quiet retries show;
#              prints the title file and the log as they change
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

https=""
unicode=""
streamer=""
playlist="$root/tools/hostsim/demo-playlist.txt"
for arg in "$@"; do
  case "$arg" in
    --https) https=1 ;;
    --streamer)
      streamer=1
      playlist="$root/tools/hostsim/demo-playlist-streamer.txt"
      ;;
    --unicode)
      unicode=1
      playlist="$root/tools/hostsim/demo-playlist-unicode.txt"
      ;;
    *) echo "usage: demo.sh [--unicode] [--https] [--streamer]" >&2; exit 2 ;;
  esac
done
if [ -n "$streamer" ] && [ -n "$https" ]; then
  echo "demo.sh: --streamer starts the form handler late, which --https cannot follow" >&2
  exit 2
fi

# hostsim's window needs a display. A Wine prefix of its own: the session
# would otherwise end the wineserver of tests running on the same build.
display_targets=(gen_tunewire hostsim trust_test_ca)
prefix_name=wineprefix-demo
display_what="the demo"
. "$root/scripts/on-display.sh"

. "$root/scripts/loopback-lib.sh"

demo=$(mktemp -d /tmp/tunewire-demo.XXXXXX)
www="$demo/www"
plugins="$demo/Plugins"
mkdir -p "$www" "$plugins/gen_tunewire" "$demo/images"
cp "$root"/server/* "$www/"
cp "$root"/server/* "$plugins/gen_tunewire/"
cp "$build/bin/gen_tunewire.dll" "$plugins/"
. "$root/scripts/settings-file.sh"
# A port above 1024, so the demo needs no root: the Server setting takes one.
demo_port=8080
write_settings_file "$plugins/plugin.ini" "127.0.0.1:$demo_port" '/MyFormHandler.php?track='
if [ -n "$unicode" ]; then
  printf 'Charset=utf-8\r\n' >>"$plugins/plugin.ini"
  # GD draws each character with the first font of the list that has it.
  cat >"$www/MyFormHandler.config.php" <<'PHP'
<?php
return [
    'font' => ['/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf',
               '/usr/share/fonts/truetype/vlgothic/VL-Gothic-Regular.ttf',
               '/usr/share/fonts/truetype/ancient-scripts/Symbola_hint.ttf'],
];
PHP
fi

if [ -n "$streamer" ]; then
  title_file="$demo/nowplaying.txt"
  printf 'Quiet=1\r\nTitleFile=%s\r\nStoppedText=Off air\r\nStreams=1\r\n' \
    "$(windows_path "$title_file")" >>"$plugins/plugin.ini"
  printf 'TitleFormat=[%%artist%% - ]%%title%%[ (%%album%%)]\r\nPostFields=1\r\n' >>"$plugins/plugin.ini"
fi

pids=()
on_exit 'for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done'

# The form travels in the request's body, which the server's log leaves out:
# a router logs each posted title before the server runs the handler.
cat >"$demo/router.php" <<'PHP'
<?php
if (($_SERVER['REQUEST_METHOD'] ?? '') === 'POST') {
    error_log('posted title: "' . ($_POST['track'] ?? '') . '"');
}
return false;
PHP
: >"$demo/php.log"
start_form_handler() {
  php -S "127.0.0.1:$demo_port" -t "$www" "$demo/router.php" >>"$demo/php.log" 2>&1 &
  php_pid=$!
  pids+=("$php_pid")
  if ! wait_for_port 127.0.0.1 "$demo_port" "$php_pid"; then
    echo "demo.sh: the form handler did not start on 127.0.0.1:$demo_port (is another server using the port?):" >&2
    cat "$demo/php.log" >&2
    exit 1
  fi
  echo "demo: form handler listening on http://127.0.0.1:$demo_port/MyFormHandler.php (files in $www)"
}
if [ -z "$streamer" ]; then
  start_form_handler
  [ -z "$https" ] || . "$root/scripts/demo-https.sh"
fi

# Report each request the server logs, with the title its body posted, and
# each title the handler stores.
(
  seen=0
  title=""
  last=""
  stored=0
  while sleep 0.2; do
    while IFS= read -r line; do
      seen=$((seen + 1))
      if [[ $line =~ \]\ posted\ title:\ (.*)$ ]]; then
        title=${BASH_REMATCH[1]}
      elif [[ $line =~ (\[[0-9]{3}\]:\ .*)$ ]]; then
        echo "server: received ${BASH_REMATCH[1]}${title:+ with the title $title in its body}"
        title=""
      fi
    done < <(tail -n "+$((seen + 1))" "$demo/php.log")
    now=$(cat "$www/nowplaying.txt" 2>/dev/null || true)
    if [ -n "$now" ] && [ "$now" != "$last" ]; then
      echo "handler: stored \"$now\""
      last=$now
      # Keep each title's picture: the handler replaces the text and the
      # image together under its lock, so wait for the pair to be in place.
      stored=$((stored + 1))
      sleep 0.3
      cp "$www/nowplaying.png" "$demo/images/$stored.png" 2>/dev/null || true
    fi
    if [ -n "$streamer" ]; then
      file_now=$(cat "$title_file" 2>/dev/null || echo "(no file yet)")
      if [ "$file_now" != "${file_last-}" ]; then
        echo "title file: \"$file_now\""
        file_last=$file_now
      fi
      while IFS= read -r line; do
        logged=$((${logged:-0} + 1))
        echo "log: ${line%$'\r'}"
      done < <(tail -n "+$((${logged:-0} + 1))" "$plugins/tunewire.log" 2>/dev/null)
    fi
  done
) &
pids+=($!)

wine "$build/bin/hostsim.exe" \
  "$(windows_path "$plugins/gen_tunewire.dll")" \
  "$(windows_path "$playlist")" &
hostsim_pid=$!
if [ -n "$streamer" ]; then
  # Down for the first post and its first retry (5 s later); up before the
  # second retry, 10 s after that.
  echo "demo: the form handler is down for the first 9 seconds"
  sleep 9
  start_form_handler
fi
wait "$hostsim_pid"
sleep 0.5

echo "demo: the title is in $www/nowplaying.txt: \"$(cat "$www/nowplaying.txt" 2>/dev/null)\""
echo "demo: the image is $www/nowplaying.png; each title's image is in $demo/images"
if [ -n "$streamer" ]; then
  echo "demo: the title file is $title_file: \"$(cat "$title_file" 2>/dev/null)\""
  echo "demo: the log is $plugins/tunewire.log"
fi
