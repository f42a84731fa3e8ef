#!/usr/bin/env bash
# One full read of the fixture agent's process tables (hrSWRun and hrSWRunPerf): this agent's
# SNMP Process check with nothing cached (bench_checks_snmp_resources, BM_ProcessTableRead)
# beside prometheus-snmp-exporter walking the same six columns (a module written here, driven
# through /snmp with curl) and `snmpbulkwalk` of hrSWRun and hrSWRunPerf. Needs root for the
# peers' install and the test servers running. Debian 12 ships snmp_exporter 0.21 (modules carry
# their own auth). Prints each rate, the ratios and the core count.
# Usage: bash bench/bench_snmp_resources_peers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
. scripts/test-servers.env
N=${BENCH_SNMP_TABLE_READS:-20}
AGENT="127.0.0.1:$ZAM_TS_SNMP_FIXTURE_PORT"
C=$ZAM_TS_SNMP_FIX_COMMUNITY

. bench/snmp-exporter.sh
bash bench/install-peers.sh prometheus-snmp-exporter snmp curl

T=$(mktemp -d)
EXP_PID=
trap '[ -z "$EXP_PID" ] || kill "$EXP_PID" 2>/dev/null || true; rm -rf "$T"' EXIT
cat > "$T/snmp.yml" <<CONF
processes:
  version: 2
  auth:
    community: $C
  walk: [1.3.6.1.2.1.25.4.2.1.1, 1.3.6.1.2.1.25.4.2.1.2, 1.3.6.1.2.1.25.4.2.1.4,
         1.3.6.1.2.1.25.4.2.1.5, 1.3.6.1.2.1.25.5.1.1.1, 1.3.6.1.2.1.25.5.1.1.2]
  metrics:
    - {name: hrSWRunIndex, oid: 1.3.6.1.2.1.25.4.2.1.1, type: gauge, indexes: [{labelname: i, type: gauge}]}
    - {name: hrSWRunName, oid: 1.3.6.1.2.1.25.4.2.1.2, type: DisplayString, indexes: [{labelname: i, type: gauge}]}
    - {name: hrSWRunPath, oid: 1.3.6.1.2.1.25.4.2.1.4, type: DisplayString, indexes: [{labelname: i, type: gauge}]}
    - {name: hrSWRunParameters, oid: 1.3.6.1.2.1.25.4.2.1.5, type: DisplayString, indexes: [{labelname: i, type: gauge}]}
    - {name: hrSWRunPerfCPU, oid: 1.3.6.1.2.1.25.5.1.1.1, type: gauge, indexes: [{labelname: i, type: gauge}]}
    - {name: hrSWRunPerfMem, oid: 1.3.6.1.2.1.25.5.1.1.2, type: gauge, indexes: [{labelname: i, type: gauge}]}
CONF
start_snmp_exporter "$T/snmp.yml" "$T/exporter.log"
curl -sf "http://127.0.0.1:$EXP_PORT/snmp?target=$AGENT&module=processes" | grep -q hrSWRunName \
  || { echo "exporter read no process table (see $T/exporter.log)" >&2; cat "$T/exporter.log" >&2; exit 1; }

bulkwalk() {
  SNMPCONFPATH=/nonexistent snmpbulkwalk -v2c -c "$C" -On "$AGENT" .1.3.6.1.2.1.25.4.2
  SNMPCONFPATH=/nonexistent snmpbulkwalk -v2c -c "$C" -On "$AGENT" .1.3.6.1.2.1.25.5.1
}
exporter=$(command_rate 1 curl -sf "http://127.0.0.1:$EXP_PORT/snmp?target=$AGENT&module=processes")
walk=$(command_rate 1 bulkwalk)
json=$("$BUILD/bench/bench_checks_snmp_resources" --benchmark_filter='BM_ProcessTableRead|BM_ProcessMonitors50Cached' \
  --benchmark_format=json 2>/dev/null)
ours=$(python3 -c 'import json,sys; d=json.load(sys.stdin); print("%.2f" % [b for b in d["benchmarks"] if b["name"].startswith("BM_ProcessTableRead")][0]["reads/s"])' <<< "$json")
cached=$(python3 -c 'import json,sys; d=json.load(sys.stdin); print("%.0f" % [b for b in d["benchmarks"] if b["name"].startswith("BM_ProcessMonitors50Cached")][0]["polls/s"])' <<< "$json")
rows=$(SNMPCONFPATH=/nonexistent snmpbulkwalk -v2c -c "$C" -On "$AGENT" .1.3.6.1.2.1.25.4.2.1.1 | wc -l)
echo "cores: $(nproc); process rows: $rows"
echo "full table reads/s: ours $ours, prometheus-snmp-exporter $exporter, snmpbulkwalk $walk"
awk -v o="$ours" -v e="$exporter" -v w="$walk" -v c="$cached" 'BEGIN {
  printf "ratio ours/exporter %.2f, ours/snmpbulkwalk %.2f\n", o / e, o / w
  printf "cached process polls/s %s: %.0fx the exporter'"'"'s table reads\n", c, c / e }'
