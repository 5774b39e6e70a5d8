#!/usr/bin/env bash
# scripts/setup.sh's decisions, without root and without the network: apt-get,
# dpkg, dpkg-query, id, sudo and sleep are stand-ins on PATH that keep the
# machine's state (installed packages, foreign architectures) in files and
# fail as a broken mirror does. setup.sh runs from a copy, so its memory of a
# failed 32-bit install stays in the scratch folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/repo/scripts" "$work/bin"
cp "$root/scripts/setup.sh" "$work/repo/scripts/"
export STATE=$work/state

cat >"$work/bin/apt-get" <<'SH'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STATE/calls"
[ "${STANDIN_UID:-1000}" = 0 ] || { echo "E: not root" >&2; exit 100; }
if [ "$1" = update ]; then
  n=$(cat "$STATE/update_fails")
  if [ "$n" -gt 0 ]; then
    echo $((n - 1)) >"$STATE/update_fails"
    touch "$STATE/index_broken"
    echo "E: Failed to fetch binary-i386/Packages.xz  File has unexpected size. Mirror sync in progress?"
    exit 100
  fi
  rm -f "$STATE/index_broken"
  exit 0
fi
[ "$2" = -qq ] && exit 0   # the download size
shift 3                    # install -y --no-install-recommends
for p in "$@"; do
  # A broken i386 index leaves the i386 libraries behind their amd64 twins.
  if [ "$p" = wine32:i386 ] && { [ -f "$STATE/fail32" ] || [ -f "$STATE/index_broken" ] || ! grep -qx i386 "$STATE/archs"; }; then
    echo "E: Unable to correct problems, you have held broken packages."; exit 100
  fi
  if [ "$p" != wine32:i386 ] && [ -f "$STATE/fail64" ]; then
    echo "E: Unable to locate package $p"; exit 100
  fi
done
printf '%s\n' "$@" >>"$STATE/installed"
SH
cat >"$work/bin/dpkg-query" <<'SH'
#!/usr/bin/env bash
pkg=${!#}
if [ "$pkg" = '*:i386' ]; then grep ':i386$' "$STATE/installed"; exit 0; fi
grep -qx "$pkg" "$STATE/installed" && printf 'install ok installed'
SH
cat >"$work/bin/dpkg" <<'SH'
#!/usr/bin/env bash
echo "dpkg $*" >>"$STATE/calls"
case "$1" in
  --print-foreign-architectures) cat "$STATE/archs" ;;
  --add-architecture) echo "$2" >>"$STATE/archs" ;;
  --remove-architecture) grep -vx "$2" "$STATE/archs" >"$STATE/archs.new" || true; mv "$STATE/archs.new" "$STATE/archs" ;;
esac
SH
printf '#!/usr/bin/env bash\necho "${STANDIN_UID:-1000}"\n' >"$work/bin/id"
printf '#!/usr/bin/env bash\necho "sudo $*" >>"$STATE/calls"\nSTANDIN_UID=0 exec "$@"\n' >"$work/bin/sudo"
printf '#!/usr/bin/env bash\n' >"$work/bin/sleep"
chmod +x "$work/bin/"*
export PATH="$work/bin:$PATH"

failures=0
# machine STATE-LINES: a fresh machine's state; "installed" starts empty.
machine() {
  rm -rf "$STATE" "$work/repo/.wine32-unavailable"
  mkdir -p "$STATE"
  : >"$STATE/installed"; : >"$STATE/archs"; : >"$STATE/calls"; echo 0 >"$STATE/update_fails"
}
# run NAME UID: runs setup.sh as that user; its output in $out, its status in $rc.
run() {
  rc=0
  out=$(STANDIN_UID=$2 bash "$work/repo/scripts/setup.sh" ${3:-} 2>&1) || rc=$?
}
check() {  # check NAME CONDITION...: one expectation of a case
  local name=$1; shift
  if ! "$@"; then
    echo "FAIL: $name: $* (exit $rc)"; echo "$out" | sed 's/^/  | /'
    failures=$((failures + 1))
  fi
}
has() { grep -q -- "$1" <<<"$out"; }
called() { grep -q -- "$1" "$STATE/calls"; }

# An index that is broken twice, then mended: both steps install, as a normal
# user through sudo.
machine; echo 2 >"$STATE/update_fails"
run broken-then-fixed 1000
check "broken then fixed" [ "$rc" -eq 0 ]
check "broken then fixed: through sudo" called "sudo "
check "broken then fixed: 32-bit Wine" grep -qx wine32:i386 "$STATE/installed"
check "broken then fixed: i386 kept" grep -qx i386 "$STATE/archs"
check "broken then fixed: nothing remembered" [ ! -e "$work/repo/.wine32-unavailable" ]
cp "$STATE/installed" "$work/everything"

# Everything present: nothing is asked of apt, sudo or dpkg.
machine; cp "$work/everything" "$STATE/installed"
run present 1000
check "present" [ "$rc" -eq 0 ]
check "present: says so" has "all tools present"
check "present: no call" [ ! -s "$STATE/calls" ]

# An index that stays broken: the x86-64 part installs, the 32-bit part
# cannot; i386, added by this run, goes again; one line says what happened.
machine; echo 99 >"$STATE/update_fails"
run stays-broken 0
check "stays broken" [ "$rc" -eq 0 ]
check "stays broken: x86-64 part" grep -qx wine64 "$STATE/installed"
check "stays broken: tried three times" [ "$(grep -c 'apt-get update' "$STATE/calls")" -ge 3 ]
check "stays broken: i386 removed" [ ! -s "$STATE/archs" ]
check "stays broken: the line" has "could not be installed (Unable to correct problems.*x86-64 build.*--retry-32bit"
check "stays broken: remembered" [ -s "$work/repo/.wine32-unavailable" ]

# A later run, as a normal user: no apt, no sudo, one line and on.
: >"$STATE/calls"
run later 1000
check "later" [ "$rc" -eq 0 ]
check "later: no call" [ ! -s "$STATE/calls" ]
check "later: the line" has "no 32-bit Wine here.*--retry-32bit"
# --retry-32bit tries once more (and fails the same way).
run retry 0 --retry-32bit
check "retry: tried" called "wine32:i386"
check "retry: remembered again" [ -s "$work/repo/.wine32-unavailable" ]

# i386 was there before this run: the failure leaves it in place.
machine; echo i386 >"$STATE/archs"; touch "$STATE/fail32"
run arch-kept 0
check "arch kept" [ "$rc" -eq 0 ]
check "arch kept: i386" grep -qx i386 "$STATE/archs"

# The x86-64 part fails: setup fails with apt's words.
machine; touch "$STATE/fail64"
run fail64 0
check "x86-64 part fails" [ "$rc" -ne 0 ]
check "x86-64 part fails: apt's words" has "Unable to locate package"

[ "$failures" -eq 0 ] || exit 1
echo "setup.sh: every case passed"
