#!/usr/bin/env bash
# Configures (once) and builds into the build folder given (default: the
# folder of TUNEWIRE_ARCH's kind, see arch.sh) everything, or only the targets
# named after the folder. An x86 build's programs and DLL are 32-bit; an
# x86_64 build's are x86-64, with the shipped 32-bit DLL built beside them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/arch.sh"
build=${1:-${TUNEWIRE_BUILD_DIR:-$arch_build}}
shift || true
targets=()
for target in "$@"; do targets+=(--target "$target"); done
if [ "$TUNEWIRE_ARCH" = x86 ]; then cpu=i686; else cpu=x86_64; fi
# The shipped DLL is built by the i686 win32 compilers on every machine.
for tool in cmake "$cpu-w64-mingw32-g++-posix" "$cpu-w64-mingw32-g++-win32" i686-w64-mingw32-g++-win32; do
  command -v "$tool" >/dev/null || { echo "build.sh: $tool is missing; run scripts/setup.sh" >&2; exit 1; }
done
toolchain=$root/cmake/toolchain-mingw-$cpu.cmake
if [ ! -f "$build/CMakeCache.txt" ]; then
  echo "build.sh: configuring $build for $TUNEWIRE_ARCH" >&2
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
elif ! grep -qxF "CMAKE_TOOLCHAIN_FILE:FILEPATH=$toolchain" "$build/CMakeCache.txt"; then
  echo "build.sh: $build is not a $TUNEWIRE_ARCH build; give another folder or TUNEWIRE_ARCH" >&2
  exit 1
fi
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
