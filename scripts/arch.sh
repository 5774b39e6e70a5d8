# Sourced by the scripts that build or run this project's Windows programs:
# which build they use. TUNEWIRE_ARCH=x86 or x86_64 chooses; unset, it is x86
# where this machine runs the 32-bit Wine and x86_64 where it cannot (it is
# not installed, or the kernel refuses every i386 executable). The x86-64
# build is a test bed of the same sources; the DLL that ships is the 32-bit
# one on every machine. Needs $root; exports TUNEWIRE_ARCH and sets
# $arch_build (this kind's default build folder), $runs_32bit (yes or no) and
# $no_32bit_reason (why the 32-bit Wine cannot run here, in one phrase).
# $wine32_loader may be set before sourcing (the tests give a stand-in).
wine32_loader=${wine32_loader:-/usr/lib/wine/wine}
if [ ! -x "$wine32_loader" ]; then
  runs_32bit=no
  no_32bit_reason="the 32-bit Wine is not installed (scripts/setup.sh says why)"
elif "$wine32_loader" --version >/dev/null 2>&1; then
  runs_32bit=yes
  no_32bit_reason=""
else
  # The shell answers 126 when the kernel refuses the executable
  # ("Exec format error"): some x86-64 kernels run no 32-bit program at all.
  loader_status=$?
  runs_32bit=no
  if [ "$loader_status" -eq 126 ]; then
    no_32bit_reason="the 32-bit Wine is installed, but this machine's kernel refuses 32-bit programs"
  else
    no_32bit_reason="the 32-bit Wine is installed, but its loader fails to start (exit status $loader_status)"
  fi
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
  local why="TUNEWIRE_ARCH=x86_64 chose it"
  [ "$runs_32bit" = yes ] || why=$no_32bit_reason
  echo "$name: $1 on the x86-64 build of the same sources in $build, because $why;" \
       "the shipped 32-bit DLL is built but not run${arch_note:-}"
}
