#!/usr/bin/env bash
# Runs post_tls_tests.exe against loopback TLS servers: one socat terminator
# per certificate case on port 443 of its own random 127.x.y.z, all relaying
# to one plain address where the test's own HTTP server listens. The test CA
# is kept in the build tree and trusted in the build's Wine prefix only; the
# untrusted CA is made anew for each run and trusted nowhere.
# Usage: tls_post_test.sh BUILD TEST_EXE [test arguments]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:?usage: tls_post_test.sh BUILD TEST_EXE}" && pwd)
exe=${2:?usage: tls_post_test.sh BUILD TEST_EXE}
shift 2
. "$root/scripts/loopback-lib.sh"
. "$root/scripts/tls-lib.sh"

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

ca=$build/tls-test-ca
tls_make_ca "$ca"
tls_make_ca "$work/stranger" "Untrusted Test CA"
tls_trust_ca "$ca" "$build/wine-run.sh" "$build/bin/trust_test_ca.exe"

export TUNEWIRE_TLS_BACKEND
TUNEWIRE_TLS_BACKEND=$(random_address)

# serve NAME CA PEM-SUFFIX NAME-IN-CERTIFICATE [START END]: a terminator for
# one case; its address goes to the test as TUNEWIRE_TLS_<NAME>. "ADDRESS" in
# the certificate's name stands for the terminator's own address.
serve() {
  local name=$1 authority=$2 suffix=$3 san=$4
  shift 4
  for _ in 1 2 3; do
    local address
    address=$(random_address)
    tls_issue "$authority" "$work/$name" "${san//ADDRESS/$address}" "$@"
    if tls_start_terminator "$address" "$work/$name$suffix.pem" "$TUNEWIRE_TLS_BACKEND:80" \
      "$work/$name.log"; then
      pids+=("$tls_pid")
      export "TUNEWIRE_TLS_$name=$address"
      return 0
    fi
  done
  return 1
}

serve TRUSTED "$ca" "" "DNS:ADDRESS,IP:ADDRESS"
serve UNTRUSTED "$work/stranger" "" "DNS:ADDRESS,IP:ADDRESS"
serve UNTRUSTED_CHAIN "$work/stranger" "-chain" "DNS:ADDRESS,IP:ADDRESS"
serve WRONG_NAME "$ca" "" "DNS:wrong-name.example.com"
serve EXPIRED "$ca" "" "DNS:ADDRESS,IP:ADDRESS" 20200101000000Z 20210101000000Z

"$build/wine-run.sh" "$exe" "$@"
