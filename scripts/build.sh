#!/usr/bin/env bash
# Configures (once) and builds into the build folder given (default build/):
# everything, or only the targets named after the folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
targets=()
for target in "$@"; do targets+=(--target "$target"); done
for tool in cmake i686-w64-mingw32-g++-posix i686-w64-mingw32-g++-win32; do
  command -v "$tool" >/dev/null || { echo "build.sh: $tool is missing; run scripts/setup.sh" >&2; exit 1; }
done
if [ ! -f "$build/CMakeCache.txt" ]; then
  echo "build.sh: configuring $build" >&2
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686.cmake" >/dev/null
fi
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
