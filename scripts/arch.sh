# Sourced by the scripts that build or run this project's Windows programs:
# which build they use. TUNEWIRE_ARCH=x86 or x86_64 chooses; unset, it is x86
# where this machine runs 32-bit programs and x86_64 where it cannot (some
# kernels refuse every i386 executable, and 32-bit Wine with them). The x86-64
# build is a test bed of the same sources; the DLL that ships is the 32-bit
# one on every machine. Needs $root; exports TUNEWIRE_ARCH and sets
# $arch_build (this kind's default build folder), $runs_32bit (yes or no) and
# $no_32bit_reason (the 32-bit loader's own words when it cannot start).
wine32_loader=/usr/lib/wine/wine
if no_32bit_reason=$("$wine32_loader" --version 2>&1 >/dev/null); then
  runs_32bit=yes
else
  runs_32bit=no
  no_32bit_reason=${no_32bit_reason:-$wine32_loader --version failed}
fi
case "${TUNEWIRE_ARCH:-}" in
  "") [ "$runs_32bit" = yes ] && TUNEWIRE_ARCH=x86 || TUNEWIRE_ARCH=x86_64 ;;
  x86 | x86_64) ;;
  *) echo "$(basename "$0"): TUNEWIRE_ARCH is x86 or x86_64, not '$TUNEWIRE_ARCH'" >&2; exit 2 ;;
esac
export TUNEWIRE_ARCH
if [ "$TUNEWIRE_ARCH" = x86 ]; then arch_build=$root/build; else arch_build=$root/build-x86_64; fi

# say_arch WHAT: one line on which build WHAT ("the suite runs") uses, and why,
# ending with $arch_note, the caller's own words on the x86-64 build.
say_arch() {
  local name
  name=$(basename "$0")
  if [ "$TUNEWIRE_ARCH" = x86 ]; then
    echo "$name: $1 on the x86 build in $build (this machine runs 32-bit programs)"
    return
  fi
  local why="TUNEWIRE_ARCH=x86_64 was asked for"
  [ "$runs_32bit" = yes ] || why="this machine cannot run 32-bit programs ($no_32bit_reason)"
  echo "$name: $1 on the x86-64 build of the same sources in $build, because $why;" \
       "the shipped 32-bit DLL is built but not run${arch_note:-}"
}
