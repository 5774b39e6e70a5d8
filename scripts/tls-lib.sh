# Sourced by the scripts that need a TLS server on loopback: a test CA and
# server certificates made with openssl, and socat as a TLS terminator in front
# of a plain HTTP server. Keys are made on the spot, kept under the caller's
# folders, never committed, and the CA is trusted only in the Wine prefix the
# caller runs it in (trust_test_ca.exe).
. "$(dirname "${BASH_SOURCE[0]}")/loopback-lib.sh"

# Makes DIR/ca.key, DIR/ca.pem and DIR/ca.der once; later calls keep them, so
# a prefix that trusts the CA keeps trusting the same one.
tls_make_ca() {
  local dir=$1 name=${2:-Tunewire Test CA}
  [ -f "$dir/ca.der" ] && return 0
  mkdir -p "$dir"
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -subj "/CN=$name" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    -keyout "$dir/ca.key" -out "$dir/ca.pem" 2>/dev/null
  openssl x509 -in "$dir/ca.pem" -outform DER -out "$dir/ca.der"
}

# tls_issue CA_DIR OUT SAN [START END]: OUT.pem holds a server certificate
# signed by the CA, then its key; OUT-chain.pem the same with the CA's
# certificate after it. START/END (YYYYMMDDHHMMSSZ) date it, e.g. in the past.
# Wine does not match IP-address names, so give an address as DNS:a.b.c.d too.
tls_issue() {
  local ca=$1 out=$2 san=$3 start=${4:-} end=${5:-}
  local work
  work=$(mktemp -d)
  openssl req -new -newkey rsa:2048 -nodes -subj "/CN=${san#*:}" -keyout "$work/key.pem" \
    -out "$work/req.pem" 2>/dev/null
  printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' "$san" \
    >"$work/ext.cnf"
  if [ -z "$start" ]; then
    openssl x509 -req -sha256 -days 30 -in "$work/req.pem" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" \
      -set_serial "0x$(openssl rand -hex 8)" -extfile "$work/ext.cnf" -out "$work/cert.pem" 2>/dev/null
  else
    # Only openssl's "ca" command takes explicit dates.
    touch "$work/index.txt"
    openssl rand -hex 8 >"$work/serial"
    printf '[ca]\ndefault_ca=test\n[test]\ndatabase=%s/index.txt\nnew_certs_dir=%s\nserial=%s/serial\n' \
      "$work" "$work" "$work" >"$work/ca.cnf"
    printf 'default_md=sha256\npolicy=any\n[any]\ncommonName=supplied\n' >>"$work/ca.cnf"
    openssl ca -batch -config "$work/ca.cnf" -cert "$ca/ca.pem" -keyfile "$ca/ca.key" \
      -startdate "$start" -enddate "$end" -extfile "$work/ext.cnf" -notext \
      -in "$work/req.pem" -out "$work/cert.pem" 2>/dev/null
  fi
  cat "$work/cert.pem" "$work/key.pem" >"$out.pem"
  cat "$work/cert.pem" "$ca/ca.pem" "$work/key.pem" >"$out-chain.pem"
  rm -rf "$work"
}

# tls_start_terminator ADDRESS PEM BACKEND LOG [PORT]: TLS on ADDRESS:PORT
# (443 by default) with the certificate and key of PEM, each connection
# relayed to BACKEND (host:port) as plain bytes. Sets tls_pid; returns once
# this socat listens there. When it fails, no socat of its own is left running.
tls_start_terminator() {
  local address=$1 pem=$2 backend=$3 log=$4 port=${5:-443}
  socat "OPENSSL-LISTEN:$port,bind=$address,reuseaddr,fork,cert=$pem,verify=0" \
    "TCP:$backend" >"$log" 2>&1 &
  tls_pid=$!
  tls_wait_for_terminator "$address" "$port" "$log"
}

# tls_start_client_cert_terminator ADDRESS PEM CA_DIR BACKEND LOG: as
# tls_start_terminator on port 443, but the server asks each client for a
# certificate from the CA and admits a client that shows none, as many hosts
# do. socat can only require one, so stunnel runs this one.
tls_start_client_cert_terminator() {
  local address=$1 pem=$2 ca=$3 backend=$4 log=$5
  printf 'foreground = yes\npid =\n[terminator]\naccept = %s:443\nconnect = %s\ncert = %s\nCAfile = %s\nverifyChain = yes\nrequireCert = no\n' \
    "$address" "$backend" "$pem" "$ca/ca.pem" >"$log.conf"
  stunnel "$log.conf" >"$log" 2>&1 &
  tls_pid=$!
  tls_wait_for_terminator "$address" 443 "$log"
}

# Waits until the terminator tls_pid listens on ADDRESS:PORT; when it does
# not, ends it and says why.
tls_wait_for_terminator() {
  local address=$1 port=$2 log=$3
  wait_for_port "$address" "$port" "$tls_pid" && return 0
  kill "$tls_pid" 2>/dev/null || true
  echo "tls-lib.sh: no TLS terminator on $address:$port: $(cat "$log")" >&2
  return 1
}

# tls_trust_ca CA_DIR COMMAND...: runs COMMAND (trust_test_ca.exe under Wine,
# with whatever wrapper the caller uses) on the CA's certificate.
tls_trust_ca() {
  local ca=$1
  shift
  local der
  der=$(cd "$ca" && pwd)/ca.der
  "$@" "$(windows_path "$der")"
}
