# Sourced by demo.sh --https, after PHP's server is up on 127.0.0.1:$demo_port:
# puts socat in front of it as TLS on 127.0.0.1:8443, with a certificate from
# the build's test CA, which is trusted in the demo's Wine prefix only, and
# points the plugin's settings at https://127.0.0.1:8443. Needs $root, $build,
# $demo, $plugins, $demo_port and the pids array of demo.sh.
. "$root/scripts/tls-lib.sh"
tls_make_ca "$build/tls-test-ca"
tls_trust_ca "$build/tls-test-ca" wine "$build/bin/trust_test_ca.exe"
tls_issue "$build/tls-test-ca" "$demo/server" "DNS:127.0.0.1,IP:127.0.0.1"
tls_port=8443
if ! tls_start_terminator 127.0.0.1 "$demo/server.pem" "127.0.0.1:$demo_port" "$demo/tls.log" "$tls_port"; then
  echo "demo.sh: could not start TLS on 127.0.0.1:$tls_port (is the port busy?)" >&2
  exit 1
fi
pids+=("$tls_pid")
sed -i "s|^ServerName=.*|ServerName=https://127.0.0.1:$tls_port\r|" "$plugins/plugin.ini"
echo "demo: TLS on https://127.0.0.1:$tls_port in front of it (test CA trusted in $WINEPREFIX only)"
