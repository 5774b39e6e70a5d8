#!/usr/bin/env bash
# Where the shipped DLL's bytes go: builds gen_tunewire.dll as it ships (the
# i686 win32 compilers, MinSizeRel, stripped) in a scratch tree with a link
# map, and adds up the code, data and unwind tables of each kind of input.
# The rest is headers, imports, exports, resources, relocations and padding.
# Usage: dll-bytes.sh [SCRATCH_FOLDER]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tree=${1:-$(mktemp -d /tmp/tunewire-dll-bytes.XXXXXX)}
cmake -S "$root" -B "$tree" -DCMAKE_BUILD_TYPE=MinSizeRel -DTUNEWIRE_DLL_ONLY=ON \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw-i686-win32.cmake" \
      -DTUNEWIRE_OUTPUT_DIRECTORY="$tree/bin" \
      "-DCMAKE_SHARED_LINKER_FLAGS=-Wl,-Map=$tree/gen_tunewire.map" >/dev/null
cmake --build "$tree" -j "$(nproc)" >/dev/null
dll=$tree/bin/gen_tunewire.dll
bytes=$(stat -c %s "$dll")
echo "gen_tunewire.dll: $bytes bytes"

# A map line of an input section: " .text  0xADDRESS  0xSIZE  path/lib.a(member.o)".
# Members at address 0 were dropped by --gc-sections.
awk -v total="$bytes" '
  function hex(text,   i, value) {
    value = 0
    for (i = 3; i <= length(text); i++)
      value = value * 16 + index("0123456789abcdef", substr(text, i, 1)) - 1
    return value
  }
  /^\.[A-Za-z_]+ / { section = $1; next }
  section ~ /^\.(text|data|rdata|eh_frame|CRT)$/ {
    # The name of an input section stands first, or alone on the line above when long.
    if (NF == 4 && $2 ~ /^0x/ && $3 ~ /^0x/) { address = $2; size = $3; from = $4 }
    else if (NF == 3 && $1 ~ /^0x/ && $2 ~ /^0x/) { address = $1; size = $2; from = $3 }
    else next
    if (hex(address) == 0) next
    size = hex(size); member = from; sub(/.*\(/, "", member); sub(/\)$/, "", member)
    if (member ~ /\.(cpp|rc)\.obj$/) kind = "the plugin'"'"'s own code, HTTP layer included"
    else if (from ~ /libstdc\+\+\.a/ && member ~ /^(eh_|new_|del_|tinfo|class_type|si_class|vmi_class|pbase|pointer_type|fundamental|bad_|pure|guard|vterminate|functexcept|atexit)/)
      kind = "C++ exceptions, RTTI and operator new of libstdc++ and libgcc"
    else if (from ~ /libstdc\+\+\.a/) kind = "std::string, libstdc++'"'"'s prebuilt copy, linked whole"
    else if (from ~ /libgcc_eh\.a/ || member ~ /^unwind/) kind = "C++ exceptions: the unwinder"
    else kind = "mingw'"'"'s start-up code and C runtime glue"
    sum[kind] += size; counted += size
  }
  END {
    printf "| Part | KB |\n|---|---|\n"
    for (kind in sum) printf "| %s | %.0f |\n", kind, sum[kind] / 1024
    printf "| resources, headers, import and export tables, relocations, padding | %.0f |\n", (total - counted) / 1024
  }' "$tree/gen_tunewire.map"
