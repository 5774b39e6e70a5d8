#!/usr/bin/env bash
# Runs post_tls_tests.exe against loopback TLS servers: one terminator per
# case (socat, or stunnel where the server asks for a client certificate) on
# port 443 or 8443 of its own random 127.x.y.z, all relaying to one plain
# address where the test's own HTTP server listens. The test CA
# is kept in the build tree and trusted in the build's Wine prefix only; the
# untrusted CA is made anew for each run and trusted nowhere. With
# TUNEWIRE_TLS_ONLY set (names such as "TRUSTED WITH_PORT"), only those
# terminators are started, for a run that needs no others.
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

# serve NAME START-COMMAND CA PEM-SUFFIX NAME-IN-CERTIFICATE [START END]: a
# terminator for one case, started by START-COMMAND (a function that takes
# the address, the certificate file and the log); its address goes to the test
# as TUNEWIRE_TLS_<NAME>. "ADDRESS" in the certificate's name stands for the
# terminator's own address.
serve() {
  local name=$1 start=$2 authority=$3 suffix=$4 san=$5
  shift 5
  [ -z "${TUNEWIRE_TLS_ONLY:-}" ] || [[ " $TUNEWIRE_TLS_ONLY " == *" $name "* ]] || return 0
  for _ in 1 2 3; do
    local address
    address=$(random_address)
    tls_issue "$authority" "$work/$name" "${san//ADDRESS/$address}" "$@"
    if "$start" "$address" "$work/$name$suffix.pem" "$work/$name.log"; then
      pids+=("$tls_pid")
      export "TUNEWIRE_TLS_$name=$address"
      return 0
    fi
  done
  return 1
}

# The kinds of terminator: on port 443, on another port, and one that asks
# for a client certificate from the test CA without requiring it.
on_443() { tls_start_terminator "$1" "$2" "$TUNEWIRE_TLS_BACKEND:80" "$3"; }
export TUNEWIRE_TLS_PORT=8443
on_other_port() {
  tls_start_terminator "$1" "$2" "$TUNEWIRE_TLS_BACKEND:80" "$3" "$TUNEWIRE_TLS_PORT"
}
asking_for_client_cert() {
  tls_start_client_cert_terminator "$1" "$2" "$ca" "$TUNEWIRE_TLS_BACKEND:80" "$3"
}

serve TRUSTED on_443 "$ca" "" "DNS:ADDRESS,IP:ADDRESS"
serve UNTRUSTED on_443 "$work/stranger" "" "DNS:ADDRESS,IP:ADDRESS"
serve UNTRUSTED_CHAIN on_443 "$work/stranger" "-chain" "DNS:ADDRESS,IP:ADDRESS"
serve WRONG_NAME on_443 "$ca" "" "DNS:wrong-name.example.com"
serve EXPIRED on_443 "$ca" "" "DNS:ADDRESS,IP:ADDRESS" 20200101000000Z 20210101000000Z
serve WITH_PORT on_other_port "$ca" "" "DNS:ADDRESS,IP:ADDRESS"
serve CLIENT_CERT asking_for_client_cert "$ca" "" "DNS:ADDRESS,IP:ADDRESS"

"$build/wine-run.sh" "$exe" "$@"
