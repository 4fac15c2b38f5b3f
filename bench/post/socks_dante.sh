#!/bin/bash
# bench_post --socks5 through Dante's SOCKS server (danted, Debian's dante-server) instead of
# microsocks: danted is started on a free loopback port with a configuration of its own, the
# benchmark runs through it, and danted is stopped by its process id.
#   bench/post/socks_dante.sh BUILD_DIR [bench_post options...]
# danted starts its processes as root and drops to nobody: run as root.
set -euo pipefail
build=${1:?usage: socks_dante.sh BUILD_DIR [bench_post options...]}
shift
command -v danted >/dev/null || { echo "danted is not installed (apt-get install dante-server)" >&2; exit 1; }
work=$(mktemp -d /tmp/qvdante-XXXXXX)
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/danted.conf" <<CONF
logoutput: $work/danted.log
internal: 127.0.0.1 port = $port
external: 127.0.0.1
clientmethod: none
socksmethod: none
user.privileged: root
user.unprivileged: nobody
client pass {
    from: 127.0.0.0/8 to: 0.0.0.0/0
    log: error
}
socks pass {
    from: 127.0.0.0/8 to: 0.0.0.0/0
    command: connect
    log: error
}
CONF
danted -f "$work/danted.conf" -p "$work/danted.pid" -N 1 -D
stop() {
    [ -s "$work/danted.pid" ] && kill -TERM "$(cat "$work/danted.pid")" 2>/dev/null || true
    rm -rf "$work"
}
trap stop EXIT
# Listening a moment after the start.
for _ in $(seq 50); do
    python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.1)" 2>/dev/null && break
    sleep 0.1
done
echo "danted (process $(cat "$work/danted.pid")) at 127.0.0.1:$port"
"$build/bench/post/bench_post" --socks5-at "127.0.0.1:$port" "$@"
