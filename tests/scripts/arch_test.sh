#!/usr/bin/env bash
# The line scripts/arch.sh has the scripts print about the build they use,
# for each reason a 32-bit Wine may not run here, with stand-in loaders: none
# installed, one the kernel refuses (an executable of a machine no kernel
# here runs), one that starts, and one that starts but TUNEWIRE_ARCH chose
# x86-64. Each line says its reason in plain words, never a shell's error.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#!/bin/sh\necho wine-8.0\n' >"$work/starts"
# An ELF header whose machine field names no processor a kernel here knows.
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\377\377' >"$work/refused"
head -c 64 /dev/zero >>"$work/refused"
chmod +x "$work/starts" "$work/refused"

failures=0
while IFS='|' read -r loader chosen expected; do
  line=$(cd "$work" && unset TUNEWIRE_ARCH && ${chosen:+export TUNEWIRE_ARCH=$chosen} &&
         wine32_loader=$work/$loader root=$work build=$work/b bash -c \
           '. "$0/scripts/arch.sh"; say_arch "the suite runs"; echo "$TUNEWIRE_ARCH"' "$root" 2>&1 |
         tr '\n' ' ')
  if ! grep -q -- "$expected" <<<"$line" || grep -q -E 'line [0-9]+:|No such file|cannot execute' <<<"$line"; then
    echo "FAIL: loader $loader${chosen:+, TUNEWIRE_ARCH=$chosen}: expected \"$expected\", got:"
    echo "$line" | sed 's/^/  | /'
    failures=$((failures + 1))
  fi
done <<'ROWS'
missing||because the 32-bit Wine is not installed .* x86_64 $
refused||installed, but this machine's kernel refuses 32-bit programs;.* x86_64 $
starts||on the x86 build .* x86 $
starts|x86_64|because TUNEWIRE_ARCH=x86_64 chose it;.* x86_64 $
ROWS
[ "$failures" -eq 0 ] || exit 1
echo "arch.sh: every case passed"
