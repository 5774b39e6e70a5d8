#!/usr/bin/env bash
# Fuzzes the embedded cover reader (src/monitor/embedded_cover.cpp) natively
# with libFuzzer, under the address and undefined-behaviour sanitizers, for
# SECONDS (300 unless given) on one core, from the test's samples as seeds.
# Not part of the tests or CI. Needs Debian's clang and libclang-rt-14-dev
# (libFuzzer and the sanitizers' runtimes), and ffmpeg and python3-mutagen
# for the seeds (scripts/setup.sh installs those). The corpus and any crash
# stay in WORK_FOLDER (a new temporary folder unless given), so a second run
# goes on from the first.
# Usage: fuzz-cover.sh [SECONDS] [WORK_FOLDER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-300}
work=${2:-$(mktemp -d /tmp/tunewire-fuzz-cover.XXXXXX)}
command -v clang++ >/dev/null ||
  { echo "fuzz-cover.sh: clang++ is missing: apt-get install clang libclang-rt-14-dev" >&2; exit 1; }
mkdir -p "$work/corpus"
if [ -z "$(ls -A "$work/corpus")" ]; then
  bash "$root/tests/monitor/make_cover_samples.sh" "$work/samples"
  cp "$work/samples"/*.mp3 "$work/samples"/*.flac "$work/samples"/*.m4a \
     "$work/samples"/*.ogg "$work/samples"/*.opus "$work/corpus/"
fi
clang++ -std=c++17 -g -O1 -Wall -Wextra -Werror \
        -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
        -I"$root/src" "$root/tools/fuzz/embedded_cover_fuzz.cpp" \
        "$root/src/monitor/embedded_cover.cpp" "$root/src/common/ascii_case.cpp" \
        -o "$work/embedded_cover_fuzz"
echo "fuzz-cover.sh: fuzzing for $seconds s in $work" >&2
cd "$work"
./embedded_cover_fuzz -max_total_time="$seconds" -max_len=131072 -print_final_stats=1 \
  -dict="$root/tools/fuzz/embedded_cover.dict" -artifact_prefix="$work/" corpus
