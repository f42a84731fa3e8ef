#!/usr/bin/env bash
# Interface discovery on an agent with 500 interfaces: inside a private network namespace (root),
# 500 interfaces (veth pairs) and an snmpd on the namespace's own loopback at the test servers' SNMP
# port; this agent's discovery poll (BM_InterfaceDiscovery of bench_checks_snmp_traffic) beside
# the walk a script would do, snmpbulkwalk of IF-MIB's ifTable and ifXTable. Prints both times,
# the ratio and the core count. Usage: bash bench/bench_snmp_discovery_peers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(realpath "${1:-build}")
if [ -z "${ZAM_BENCH_IN_NS:-}" ]; then
  exec unshare -n env ZAM_BENCH_IN_NS=1 bash "$0" "$BUILD"
fi
. scripts/test-servers.env
AGENT="127.0.0.1:$ZAM_TS_SNMP_PORT"
COUNT=${BENCH_INTERFACES:-500}

ip link set lo up
# veth pairs: the dummy type needs a kernel module that a container may lack.
for i in $(seq $((COUNT / 2))); do echo "link add zb${i}a type veth peer name zb${i}b"; done | ip -batch -

T=$(mktemp -d)
trap 'kill "$SNMPD_PID" 2>/dev/null || true; rm -rf "$T"' EXIT
cat > "$T/snmpd.conf" <<CONF
agentAddress udp:$AGENT
rocommunity $ZAM_TS_SNMP_COMMUNITY 127.0.0.1
CONF
SNMPCONFPATH="$T" SNMP_PERSISTENT_DIR="$T/persist" snmpd -f -Lo -C -c "$T/snmpd.conf" > "$T/snmpd.log" 2>&1 &
SNMPD_PID=$!
for _ in $(seq 100); do
  snmpget -v2c -c "$ZAM_TS_SNMP_COMMUNITY" -t 0.3 -r 0 "$AGENT" .1.3.6.1.2.1.1.3.0 > /dev/null 2>&1 && break
  sleep 0.1
done
listed=$(snmpget -v2c -c "$ZAM_TS_SNMP_COMMUNITY" -Oqv "$AGENT" .1.3.6.1.2.1.2.1.0)

walk() {
  snmpbulkwalk -v2c -c "$ZAM_TS_SNMP_COMMUNITY" "$AGENT" .1.3.6.1.2.1.2.2 > /dev/null
  snmpbulkwalk -v2c -c "$ZAM_TS_SNMP_COMMUNITY" "$AGENT" .1.3.6.1.2.1.31.1.1 > /dev/null
}
walk   # the agent's first reading of its interfaces is not part of either figure
RUNS=5
start=$(date +%s.%N)
for _ in $(seq $RUNS); do walk; done
end=$(date +%s.%N)
walk_ms=$(awk -v a="$start" -v b="$end" -v n=$RUNS 'BEGIN { printf "%.1f", (b - a) * 1000 / n }')

json=$("$BUILD/bench/bench_checks_snmp_traffic" --benchmark_filter=BM_InterfaceDiscovery \
  --benchmark_min_time=5 --benchmark_format=json 2>/dev/null)
read -r ours_ms failed < <(python3 -c 'import json,sys; d=json.load(sys.stdin); b=d["benchmarks"][0]; print("%.1f %d" % (1000.0 / b["polls/s"], b["failed"]))' <<< "$json")
[ "$failed" = 0 ] || { echo "discovery polls failed: $failed"; exit 1; }
echo "cores: $(nproc)"
echo "interface discovery, $listed interfaces: agent $ours_ms ms a poll, snmpbulkwalk of ifTable and ifXTable $walk_ms ms (agent is $(awk -v a="$ours_ms" -v b="$walk_ms" 'BEGIN{printf "%.2f", b/a}')x as fast)"
