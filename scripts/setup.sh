#!/usr/bin/env bash
# Installs what the build, the tests and the demo need on a fresh Debian 12
# machine, as far as the machine allows. Safe to run again: it only installs
# what is missing.
#
# Two steps: everything the x86-64 test bed needs, then the 32-bit Wine. A
# mirror can serve a broken i386 index for hours, and 32-bit Wine cannot be
# installed at all then; setup says so in one line, leaves the machine as it
# found it, remembers the failure in .wine32-unavailable (so later commands
# neither try again nor need root) and exits 0: the scripts then use the
# x86-64 build (scripts/arch.sh). --retry-32bit forgets the failure.
# Run as a normal user, it installs through sudo.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
marker=$root/.wine32-unavailable

packages64=(
  cmake make g++-mingw-w64-i686
  # The x86-64 build of the tests and tools, for machines without 32-bit
  # Wine (scripts/arch.sh); installed everywhere, so that either kind can be
  # chosen on any machine.
  g++-mingw-w64-x86-64 wine wine64 xvfb xauth
  iproute2     # a normal user's test run brings up loopback in a namespace of its own
  googletest
  php-cli php-gd fonts-dejavu-core
  nsis zip unzip
  imagemagick  # scripts/screenshot-dialog.sh
  ffmpeg           # the embedded cover test's audio samples (tests/monitor/make_cover_samples.sh)
  python3-mutagen  # the pictures tagged into them
  socat        # TLS terminator for the https:// tests, demo and bench
  openssl      # their test CA and certificates (scripts/tls-lib.sh)
  stunnel4     # a TLS terminator that asks for a client certificate without
               # requiring one (socat's can only require it)
  # tests/server: the handler under Apache with mod_php (the binary only, no
  # system service), overlay.html in a real browser, and the fonts of the
  # handler's font list (Japanese; symbols and emoji)
  apache2-bin libapache2-mod-php chromium fonts-vlgothic fonts-symbola
  locales      # the code-page tests run Wine under the locales below
)
# Wine takes a program's ANSI code page from its locale: 932, 936, 949, 1251
# and 1252, in that order.
test_locales=(ja_JP zh_CN ko_KR ru_RU en_US)
package32=wine32:i386
retry_hint="to try the 32-bit Wine again: bash scripts/setup.sh --retry-32bit"

case "${1:-}" in
  "") ;;
  --retry-32bit) rm -f "$marker" ;;
  *) echo "usage: setup.sh [--retry-32bit]" >&2; exit 2 ;;
esac

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
missing=()
for p in "${packages64[@]}"; do installed "$p" || missing+=("$p"); done
missing_locales=()
for l in "${test_locales[@]}"; do
  locale -a 2>/dev/null | grep -qix "$l.utf-\?8" || missing_locales+=("$l")
done
want32=no
if ! installed "$package32" && [ ! -f "$marker" ]; then want32=yes; fi

if [ -f "$marker" ] && [ "${#missing[@]}" -eq 0 ] && [ "${#missing_locales[@]}" -eq 0 ]; then
  echo "setup.sh: the 32-bit Wine could not be installed on $(date -r "$marker" +%F) ($(head -n 1 "$marker")); the x86-64 build is used; $retry_hint"
  exit 0
fi
if [ "${#missing[@]}" -eq 0 ] && [ "$want32" = no ] && [ "${#missing_locales[@]}" -eq 0 ]; then
  echo "setup.sh: all tools present"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  # Only the install runs as root: builds and Wine prefixes stay the user's.
  if command -v sudo >/dev/null; then
    echo "setup.sh: installing packages needs root; asking sudo" >&2
    sudo "$0" "$@" && exit 0
  fi
  if [ "${#missing[@]}" -eq 0 ]; then
    echo "setup.sh: the 32-bit Wine is not installed and could not be installed without root; the x86-64 build is used"
    exit 0
  fi
  echo "setup.sh: missing ${missing[*]}; run as root (or with sudo) to install them" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
lists_stale=no
# Another install running (an unattended upgrade) holds dpkg's lock for a
# while: wait for it rather than fail.
apt=(apt-get -o DPkg::Lock::Timeout=300)

# A mirror in the middle of a sync serves an index of the wrong size for a
# while: try again a few times, then go on with the lists there are.
update_lists() {
  local try log
  log=$(mktemp /tmp/tunewire-apt-update.XXXXXX)
  for try in 1 2 3; do
    "${apt[@]}" update >"$log" 2>&1 && { rm -f "$log"; return 0; }
    [ "$try" -eq 3 ] || sleep 5
  done
  lists_stale=yes
  echo "setup.sh: apt-get update kept failing ($(grep -m 1 '^E: ' "$log" || echo "see $log"));" \
       "going on with the package lists there are"
}

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup.sh: installing ${missing[*]} and what they need"
  update_lists
  # On a fresh machine this is a few hundred megabytes (Wine, mingw-w64 and
  # Chromium are most of it): say how much before the download starts.
  download=$(apt-get install -qq --print-uris --no-install-recommends "${missing[@]}" |
             awk '{ total += $3 } END { printf "%.0f", total / 1048576 }')
  echo "setup.sh: downloading about $download MB; apt shows its progress below"
  "${apt[@]}" install -y --no-install-recommends "${missing[@]}"
fi

for l in "${missing_locales[@]}"; do
  localedef -i "$l" -f UTF-8 "$l.UTF-8"
done

if [ "$want32" = yes ]; then
  added_i386=no
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    added_i386=yes
    update_lists
  fi
  log=$(mktemp /tmp/tunewire-apt-wine32.XXXXXX)
  if "${apt[@]}" install -y --no-install-recommends "$package32" >"$log" 2>&1; then
    echo "setup.sh: the 32-bit Wine is installed"
    rm -f "$log"
  else
    reason=$(grep -m 1 -E '^E: ' "$log" | sed 's/^E: /apt: /' || true)
    [ "$lists_stale" = no ] || reason="some package lists could not be fetched; ${reason:-}"
    # Leave no half-installed i386 package behind, and no architecture that
    # would make every later apt-get update of this machine fail the same way.
    dpkg --configure -a >/dev/null 2>&1 || true
    if [ "$added_i386" = yes ] && [ -z "$(dpkg-query -W -f='${Package}\n' '*:i386' 2>/dev/null)" ]; then
      dpkg --remove-architecture i386
    fi
    echo "${reason:-apt-get install $package32 failed, see $log}" >"$marker"
    [ -z "${SUDO_UID:-}" ] || chown "$SUDO_UID:${SUDO_GID:-$SUDO_UID}" "$marker"
    echo "setup.sh: the 32-bit Wine could not be installed (${reason:-see $log}); the tests and the demo use the x86-64 build; $retry_hint"
    exit 0
  fi
fi
echo "setup.sh: all tools present"
