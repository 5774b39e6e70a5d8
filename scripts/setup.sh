#!/usr/bin/env bash
# Installs everything the build, the tests and the demo need on a fresh Debian 12
# machine. Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  cmake make g++-mingw-w64-i686
  wine wine32:i386 xvfb xauth
  # The x86-64 build of the tests and tools, for machines that cannot run
  # 32-bit programs (scripts/arch.sh); installed everywhere, so that either
  # kind can be chosen on any machine.
  g++-mingw-w64-x86-64 wine64
  googletest
  php-cli php-gd fonts-dejavu-core
  nsis zip unzip
  imagemagick  # scripts/screenshot-dialog.sh
  socat        # TLS terminator for the https:// tests, demo and bench
  openssl      # their test CA and certificates (scripts/tls-lib.sh)
  # tests/server: the handler under Apache with mod_php (the binary only, no
  # system service), overlay.html in a real browser, and the fonts of the
  # handler's font list (Japanese; symbols and emoji)
  apache2-bin libapache2-mod-php chromium fonts-vlgothic fonts-symbola
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  echo "setup.sh: all tools present"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh: missing ${missing[*]}; run as root to install them" >&2
  exit 1
fi
echo "setup.sh: installing ${missing[*]} and what they need"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update
# On a fresh machine this is a few hundred megabytes (Wine, mingw-w64 and
# Chromium are most of it): say how much before the download starts.
download=$(apt-get install -qq --print-uris --no-install-recommends "${missing[@]}" |
           awk '{ total += $3 } END { printf "%.0f", total / 1048576 }')
echo "setup.sh: downloading about $download MB; apt shows its progress below"
apt-get install -y --no-install-recommends "${missing[@]}"
echo "setup.sh: all tools present"
