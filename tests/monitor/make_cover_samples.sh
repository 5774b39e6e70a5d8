#!/usr/bin/env bash
# Makes the embedded cover test's samples in FOLDER: one second of tone in
# each audio form (ffmpeg), pictures written in by mutagen and a few ID3 tags
# shaped by hand (cover_samples.py). Deterministic, about a second; run by
# ctest before the test (a fixture) and by scripts/fuzz-cover.sh for seeds.
# Needs ffmpeg and python3-mutagen (scripts/setup.sh installs them).
set -euo pipefail
out=${1:?usage: make_cover_samples.sh FOLDER}
here=$(cd "$(dirname "$0")" && pwd)
# Debian's python3, where python3-mutagen installs; not whatever python3 the
# PATH finds first.
python=/usr/bin/python3
command -v ffmpeg >/dev/null && "$python" -c "import mutagen" 2>/dev/null || {
  echo "make_cover_samples.sh: ffmpeg or python3-mutagen is missing; run scripts/setup.sh" >&2
  exit 1
}
mkdir -p "$out"
cd "$out"
# bitexact: no encoder versions or random stream serials in the files.
# (Output options: they stand after the input.)
ff=(ffmpeg -nostdin -loglevel error -y)
exact=(-fflags +bitexact -flags +bitexact -map_metadata -1)
tone=(-f lavfi -i sine=frequency=440:duration=1:sample_rate=44100 "${exact[@]}")
"${ff[@]}" -f lavfi -i testsrc=size=64x48:rate=1 -frames:v 1 "${exact[@]}" front.jpg
"${ff[@]}" "${tone[@]}" -c:a libmp3lame -b:a 64k -id3v2_version 0 -write_xing 0 plain.mp3
"${ff[@]}" "${tone[@]}" -c:a flac plain.flac
# The mp4 muxer writes moov after the audio unless told +faststart.
"${ff[@]}" "${tone[@]}" -c:a aac -b:a 64k plain.m4a
"${ff[@]}" "${tone[@]}" -c:a libvorbis -q:a 2 plain.ogg
"${ff[@]}" "${tone[@]}" -c:a libopus -b:a 48k plain.opus
"$python" "$here/cover_samples.py" "$out"
