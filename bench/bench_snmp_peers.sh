#!/usr/bin/env bash
# SNMP GET polls per second against the test snmpd: this agent's SNMP Custom check
# (bench_checks_snmp, 1 and 8 threads, v2c and v3 authPriv) beside an `snmpget` loop (one
# process per GET, like a script would poll) and prometheus-snmp-exporter (a module for sysUpTime
# written here by hand, driven through /probe with curl), each with 1 and 8 workers.
# Needs root for the peers' install and the test servers running. Prints each rate, the ratios
# and the core count. Usage: bash bench/bench_snmp_peers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
. scripts/test-servers.env
N=${BENCH_SNMP_REQUESTS:-400}
AGENT="127.0.0.1:$ZAM_TS_SNMP_PORT"
OID=.1.3.6.1.2.1.1.3.0

. bench/snmp-exporter.sh
bash bench/install-peers.sh prometheus-snmp-exporter snmp curl

T=$(mktemp -d)
trap 'kill "$EXP_PID" 2>/dev/null || true; rm -rf "$T"' EXIT
cat > "$T/snmp.yml" <<CONF
# Debian 12's exporter (0.21): modules at the top, each with its version and credentials.
uptime_v2c:
  get: [1.3.6.1.2.1.1.3.0]
  version: 2
  auth:
    community: $ZAM_TS_SNMP_COMMUNITY
  metrics: &uptime
    - name: sysUpTime
      oid: 1.3.6.1.2.1.1.3
      type: gauge
uptime_v3:
  get: [1.3.6.1.2.1.1.3.0]
  version: 3
  auth:
    username: $ZAM_TS_SNMP_V3_USER
    security_level: authPriv
    auth_protocol: $ZAM_TS_SNMP_V3_AUTH_PROTOCOL
    password: $ZAM_TS_SNMP_V3_AUTH_PASSWORD
    priv_protocol: $ZAM_TS_SNMP_V3_PRIV_PROTOCOL
    priv_password: $ZAM_TS_SNMP_V3_PRIV_PASSWORD
  metrics: *uptime
CONF
start_snmp_exporter "$T/snmp.yml" "$T/exporter.log"


declare -A peer
for w in 1 8; do
  peer[snmpget_v2c_$w]=$(command_rate "$w" snmpget -v2c -c "$ZAM_TS_SNMP_COMMUNITY" -On "$AGENT" $OID)
  peer[snmpget_v3_$w]=$(command_rate "$w" snmpget -v3 -l authPriv -u "$ZAM_TS_SNMP_V3_USER" \
    -a "$ZAM_TS_SNMP_V3_AUTH_PROTOCOL" -A "$ZAM_TS_SNMP_V3_AUTH_PASSWORD" \
    -x "$ZAM_TS_SNMP_V3_PRIV_PROTOCOL" -X "$ZAM_TS_SNMP_V3_PRIV_PASSWORD" -On "$AGENT" $OID)
  peer[exporter_v2c_$w]=$(command_rate "$w" curl -sf "http://127.0.0.1:$EXP_PORT/snmp?target=$AGENT&module=uptime_v2c")
  peer[exporter_v3_$w]=$(command_rate "$w" curl -sf "http://127.0.0.1:$EXP_PORT/snmp?target=$AGENT&module=uptime_v3")
done

json=$("$BUILD/bench/bench_checks_snmp" --benchmark_filter='BM_SnmpGet' --benchmark_format=json 2>/dev/null)
ours() { # benchmark name -> polls per second
  python3 -c 'import json,sys; d=json.load(sys.stdin); print(int([b for b in d["benchmarks"] if b["name"]==sys.argv[1]][0]["polls/s"]))' "$1" <<< "$json"
}
echo "cores: $(nproc)"
for w in 1 8; do
  for v in v2c v3; do
    name=BM_SnmpGetV2c; [ "$v" = v3 ] && name=BM_SnmpGetV3AuthPriv
    o=$(ours "$name/real_time/threads:$w")
    s=${peer[snmpget_${v}_$w]} e=${peer[exporter_${v}_$w]}
    echo "$v threads=$w: agent $o/s, snmpget $s/s (ratio $(awk -v a="$o" -v b="$s" 'BEGIN{printf "%.1f", a/b}')), snmp_exporter $e/s (ratio $(awk -v a="$o" -v b="$e" 'BEGIN{printf "%.1f", a/b}'))"
  done
done
