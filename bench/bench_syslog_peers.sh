#!/usr/bin/env bash
# Syslog lines per second without loss: this agent's receiver beside rsyslog (imudp with one
# input thread, a filter and omfile), same paced sender (a process of its own session, as
# rsyslogd is), same 128-byte RFC 3164 lines, both on loopback with one receive buffer for both (the
# system default, raised for the run: bench/receive-buffer.sh); one run, separate ports, rates
# in turn up to 1.4M/s, then a search of each one's lossless edge. A bare reader that only
# drains a socket shows the floor the machine's scheduling sets.
# Needs root for the peer's install. Usage: bash bench/bench_syslog_peers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
bash bench/install-peers.sh rsyslog

T=$(mktemp -d)
source bench/receive-buffer.sh
trap 'kill "$(cat "$T/rsyslog.pid" 2>/dev/null)" 2>/dev/null || true; rm -rf "$T"; restore_receive_buffer' EXIT
raise_receive_buffer
PORT=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
cat > "$T/rsyslog.conf" <<CONF
global(workDirectory="$T")
module(load="imudp" threads="1")
input(type="imudp" address="127.0.0.1" port="$PORT")
if \$msg contains "bench" then action(type="omfile" file="$T/out.log")
CONF
: > "$T/out.log"
rsyslogd -f "$T/rsyslog.conf" -i "$T/rsyslog.pid"
for _ in $(seq 50); do [ -s "$T/rsyslog.pid" ] && break; sleep 0.1; done
echo "receive buffer: $(cat /proc/sys/net/core/rmem_default) bytes (net.core.rmem_default) for both"
"$BUILD/bench/bench_receivers_pipeline" --paced "$PORT" "$T/out.log" "$(cat "$T/rsyslog.pid")"
"$BUILD/bench/bench_receivers_pipeline" --benchmark_min_time=1 2>/dev/null | grep BM_
