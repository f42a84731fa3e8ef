#!/usr/bin/env bash
# SNMP traps per second without loss: this agent's receiver beside snmptrapd (the v3 user
# made for the sender's engine ID, one line per trap to a file), same paced sender (a child
# process of its own session), same captured v2c and v3 authPriv (SHA/AES) datagrams, both on
# loopback with one receive buffer for both (the system default, raised for the
# run: bench/receive-buffer.sh) (the kernel's count of each socket's drops
# beside the loss); one run, separate ports, rates in turn, then a search of each one's
# lossless rate. A bare reader that only drains a socket shows the floor the machine's
# scheduling sets. Then the pipeline's own rates, and the v2c rate while 8 threads open SNMPv3
# sessions under Net-SNMP's shared lock.
# Needs root for the peer's install. Usage: bash bench/bench_trap_peers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
bash bench/install-peers.sh snmptrapd snmp

T=$(mktemp -d)
source bench/receive-buffer.sh
trap 'kill "$(cat "$T/snmptrapd.pid" 2>/dev/null)" 2>/dev/null || true; rm -rf "$T"; restore_receive_buffer' EXIT
raise_receive_buffer
PORT=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
# Logging a line per trap is all either side does: snmptrapd's in-memory notification log
# table (its default, counted row by row for every trap) is off, as the agent keeps none.
cat > "$T/snmptrapd.conf" <<CONF
createUser -e 0x8000000001020301 shaaes SHA shaauthpass AES aesprivpass
authUser log shaaes
authCommunity log public
doNotRetainNotificationLogs yes
format1 TRAP\n
format2 TRAP\n
CONF
: > "$T/out.log"
# Own configuration and state only (no /etc/snmp, no /var/lib/snmp), no MIBs to load.
MIBS= snmptrapd -C -c "$T/snmptrapd.conf" --persistentDir="$T" -Lf "$T/out.log" -p "$T/snmptrapd.pid" \
  "udp:127.0.0.1:$PORT"
for _ in $(seq 50); do [ -s "$T/snmptrapd.pid" ] && break; sleep 0.1; done
: > "$T/out.log"
echo "receive buffer: $(cat /proc/sys/net/core/rmem_default) bytes (net.core.rmem_default) for both"
MIBS= SNMPCONFPATH=/nonexistent "$BUILD/bench/bench_receivers_trap" --paced "$PORT" "$T/out.log" "$(cat "$T/snmptrapd.pid")"
MIBS= SNMPCONFPATH=/nonexistent "$BUILD/bench/bench_receivers_trap" --benchmark_min_time=1 2>/dev/null | grep BM_
