#!/usr/bin/env bash
# Builds the release files into DIST (default dist/): a zip laid out as
# Winamp's Plugins folder (gen_tunewire.dll and the gen_tunewire\ side folder
# with the files of server/ named below) and the NSIS installer. Needs a
# finished build in BUILD.
# Usage: scripts/package.sh [BUILD [DIST]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
dist=${2:-$root/dist}
mkdir -p "$dist"
dist=$(cd "$dist" && pwd)

for tool in makensis zip; do
  command -v "$tool" >/dev/null || { echo "package.sh: $tool is missing; run scripts/setup.sh" >&2; exit 1; }
done
# The 32-bit DLL, also from an x86-64 build, which builds it beside its own.
dll=$(sed -n 's/^TUNEWIRE_SHIPPED_DLL:INTERNAL=//p' "$build/CMakeCache.txt")
[ -f "$dll" ] || { echo "package.sh: ${dll:-the shipped DLL} is missing; run scripts/build.sh first" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "package.sh: no project version in $build/CMakeCache.txt" >&2; exit 1; }

staging=$build/package-staging
rm -rf "$staging"
mkdir -p "$staging/gen_tunewire"
cp "$dll" "$staging/"
# File by file, never the whole folder: a nowplaying.* left by local testing or
# a developer's MyFormHandler.config.php with a real key must not ship. The
# installer (packaging/tunewire.nsi) names the same files.
side_files=(readme.txt MyFormHandler.php MyFormHandler.config.example.php overlay.html nowplaying.php)
for name in "${side_files[@]}"; do
  cp "$root/server/$name" "$staging/gen_tunewire/"
done

# The side files a user may edit, with the SHA-1 of every version shipped so
# far and of the one shipping now: setup replaces a copy that is one of them
# and keeps any other as the user's.
shipped=$build/package-shipped.nsh
for name in MyFormHandler.php nowplaying.php overlay.html; do
  hashes=$({ awk -v name="$name" '$1 == name { print $2 }' "$root/packaging/shipped-versions.txt"
             sha1sum <"$staging/gen_tunewire/$name" | cut -c1-40; } | sort -u | tr '\n' ' ')
  echo "!define SHIPPED_${name//./_} \"${hashes% }\""
done >"$shipped"

zipfile=$dist/tunewire-$version.zip
rm -f "$zipfile"
(cd "$staging" && zip -qrX "$zipfile" gen_tunewire.dll gen_tunewire)

size_kb=$(du -sk "$staging" | cut -f1)
makensis -V2 -DVERSION="$version" -DSTAGING="$staging" -DSIZE_KB="$size_kb" -DSHIPPED="$shipped" \
         -DOUTFILE="$dist/tunewire-$version-setup.exe" "$root/packaging/tunewire.nsi"
echo "package.sh: built $zipfile and $dist/tunewire-$version-setup.exe"
