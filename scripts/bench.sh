#!/usr/bin/env bash
# Builds the plugin and bench.exe, then runs the bench under Wine on its own
# Xvfb display and prints its table of performance figures (about six
# minutes). The HTTPS figure goes through a socat TLS terminator with a
# certificate from the build's test CA, trusted in the bench's own Wine
# prefix only. The form handler's figures are measured first, with PHP on
# this machine, and end the table. Build folder: $TUNEWIRE_BUILD_DIR, default
# this machine's kind (scripts/arch.sh): each row of the table names the build
# it comes from.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

# The player stand-in's window needs a display. A Wine prefix of its own: the
# session would otherwise end the wineserver of tests running on the same build.
display_targets=(gen_tunewire bench trust_test_ca)
prefix_name=wineprefix-bench
display_what="the bench"
. "$root/scripts/on-display.sh"

# Wine's background processes inherit our standard output, so the table goes
# through a file rather than a pipe.
out=$(mktemp /tmp/tunewire-bench.XXXXXX)
rows=$(mktemp /tmp/tunewire-bench-rows.XXXXXX)
tls=$(mktemp -d /tmp/tunewire-bench-tls.XXXXXX)
on_exit 'rm -rf "$out" "$rows" "$tls"'

echo "bench: the form handler's posts" >&2
php "$root/tools/bench/handler_bench.php" "$root/server" >"$rows"

. "$root/scripts/loopback-lib.sh"
. "$root/scripts/tls-lib.sh"
receiver=$(random_address)
front=$(random_address)
tls_make_ca "$build/tls-test-ca"
tls_trust_ca "$build/tls-test-ca" wine "$build/bin/trust_test_ca.exe"
tls_issue "$build/tls-test-ca" "$tls/server" "DNS:$front,IP:$front"
tls_start_terminator "$front" "$tls/server.pem" "$receiver:80" "$tls/socat.log"
on_exit 'kill "$tls_pid" 2>/dev/null'

status=0
wine "$build/bin/bench.exe" --rows "$(windows_path "$rows")" --https "$front" "$receiver" >"$out" || status=$?
cat "$out"
exit "$status"
