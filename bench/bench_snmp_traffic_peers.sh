#!/usr/bin/env bash
# Traffic counter polls per second against the test snmpd: this agent's SNMP Traffic Speed and
# Volume checks (bench_checks_snmp_traffic, 1 and 8 threads) beside prometheus-snmp-exporter
# reading the same three OIDs (sysUpTime.0, ifHCInOctets.1, ifHCOutOctets.1) through /probe with
# curl, with 1 and 8 workers. Needs root for the peer's install and the test servers running.
# Prints each rate, the ratios and the core count. Usage: bash bench/bench_snmp_traffic_peers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
. scripts/test-servers.env
N=${BENCH_SNMP_REQUESTS:-400}
AGENT="127.0.0.1:$ZAM_TS_SNMP_PORT"

. bench/snmp-exporter.sh
bash bench/install-peers.sh prometheus-snmp-exporter curl

T=$(mktemp -d)
trap 'kill "$EXP_PID" 2>/dev/null || true; rm -rf "$T"' EXIT
cat > "$T/snmp.yml" <<CONF
# Debian 12's exporter (0.21): modules at the top, each with its version and credentials.
traffic:
  get: [1.3.6.1.2.1.1.3.0, 1.3.6.1.2.1.31.1.1.1.6.1, 1.3.6.1.2.1.31.1.1.1.10.1]
  version: 2
  auth:
    community: $ZAM_TS_SNMP_COMMUNITY
  metrics:
    - name: sysUpTime
      oid: 1.3.6.1.2.1.1.3
      type: gauge
    - name: ifHCInOctets
      oid: 1.3.6.1.2.1.31.1.1.1.6
      type: counter
      indexes: [{labelname: ifIndex, type: gauge}]
    - name: ifHCOutOctets
      oid: 1.3.6.1.2.1.31.1.1.1.10
      type: counter
      indexes: [{labelname: ifIndex, type: gauge}]
CONF
start_snmp_exporter "$T/snmp.yml" "$T/exporter.log"
curl -sf "http://127.0.0.1:$EXP_PORT/snmp?target=$AGENT&module=traffic" | grep -q '^ifHCInOctets{' \
  || { echo "snmp_exporter does not read the counters:"; cat "$T/exporter.log"; exit 1; }


declare -A peer
for w in 1 8; do
  peer[$w]=$(command_rate "$w" curl -sf "http://127.0.0.1:$EXP_PORT/snmp?target=$AGENT&module=traffic")
done

# Interface discovery against the walk a script would do: IF-MIB's ifTable and ifXTable in bulk.
walks=$(command_rate 1 sh -c "snmpbulkwalk -v2c -c $ZAM_TS_SNMP_COMMUNITY $AGENT .1.3.6.1.2.1.2.2 && snmpbulkwalk -v2c -c $ZAM_TS_SNMP_COMMUNITY $AGENT .1.3.6.1.2.1.31.1.1")

json=$("$BUILD/bench/bench_checks_snmp_traffic" --benchmark_format=json 2>/dev/null)
ours() { # benchmark name -> polls per second
  python3 -c 'import json,sys; d=json.load(sys.stdin); print(int([b for b in d["benchmarks"] if b["name"]==sys.argv[1]][0]["polls/s"]))' "$1" <<< "$json"
}
echo "cores: $(nproc)"
o=$(ours "BM_InterfaceDiscovery/real_time")
echo "interface discovery ($(snmpget -v2c -c "$ZAM_TS_SNMP_COMMUNITY" -Oqv "$AGENT" .1.3.6.1.2.1.2.1.0) interfaces): agent $o/s, snmpbulkwalk of IF-MIB $walks/s (ratio $(awk -v a="$o" -v b="$walks" 'BEGIN{printf "%.1f", a/b}'))"
for w in 1 8; do
  for kind in Speed Volume; do
    o=$(ours "BM_Traffic${kind}Poll/real_time/threads:$w")
    e=${peer[$w]}
    echo "traffic ${kind,,} threads=$w: agent $o/s, snmp_exporter $e/s (ratio $(awk -v a="$o" -v b="$e" 'BEGIN{printf "%.1f", a/b}'))"
  done
done
