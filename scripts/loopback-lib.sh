# Sourced by the scripts that serve a Windows program of the build on
# loopback: a random 127.x.y.z so runs side by side keep apart, a wait until a
# server just started is listening, and the path Wine gives a Unix file.

random_address() { echo "127.$((RANDOM % 250 + 2)).$((RANDOM % 250 + 2)).$((RANDOM % 250 + 2))"; }

# Wine sees the Unix file system as drive Z:.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# wait_for_port ADDRESS PORT PID: waits up to 5 s until ADDRESS:PORT answers
# and PID itself holds its listening socket. A port that answers is not
# enough: when another program already listens there, the connection reaches
# that one while PID is still on its way to failing to bind.
wait_for_port() {
  local address=$1 port=$2 pid=$3
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/$address/$port") 2>/dev/null && listens_on "$address" "$port" "$pid" &&
      return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# listens_on ADDRESS PORT PID: whether one of PID's descriptors is the socket
# in /proc/net/tcp listening (state 0A) on ADDRESS:PORT, which the kernel
# prints as hex, the address's bytes in this (little-endian) machine's order.
listens_on() {
  local address=$1 port=$2 pid=$3 a b c d inode fd
  IFS=. read -r a b c d <<<"$address"
  for inode in $(awk -v at="$(printf '%02X%02X%02X%02X:%04X' "$d" "$c" "$b" "$a" "$port")" \
                   '$2 == at && $4 == "0A" { print $10 }' /proc/net/tcp); do
    for fd in /proc/"$pid"/fd/*; do
      [ "$(readlink "$fd" 2>/dev/null)" = "socket:[$inode]" ] && return 0
    done
  done
  return 1
}
