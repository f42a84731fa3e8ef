#!/usr/bin/env bash
# DNS polls per second against the test dnsmasq (A of the two-address name): this agent's DNS
# check (bench_checks_dns, 1 and 8 threads) beside `dnsperf` with one query in flight per
# client (1 and 8 clients) and prometheus-blackbox-exporter's dns prober (driven through /probe
# by `ab`, -c 1 and -c 8). Needs root for the peers' install and the test servers running.
# Usage: bash bench/bench_dns_peers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
. scripts/test-servers.env
N=${BENCH_DNS_REQUESTS:-4000}
SECONDS_PER_RUN=${BENCH_DNS_SECONDS:-5}

bash bench/install-peers.sh dnsperf prometheus-blackbox-exporter apache2-utils

T=$(mktemp -d)
BBE_PID=
trap '[ -z "$BBE_PID" ] || kill "$BBE_PID" 2>/dev/null || true; rm -rf "$T"' EXIT
cat > "$T/blackbox.yml" <<CONF
modules:
  dns_a:
    prober: dns
    timeout: 5s
    dns:
      query_name: $ZAM_TS_DNS_PAIR_NAME
      query_type: A
      transport_protocol: udp
      preferred_ip_protocol: ip4
CONF
. bench/blackbox-exporter.sh
start_blackbox_exporter "$T/blackbox.yml" "$T/bbe.log"

echo "$ZAM_TS_DNS_PAIR_NAME A" > "$T/queries"
# clients (= threads), queries in flight in all
dnsperf_rate() {
  dnsperf -s 127.0.0.1 -p "$ZAM_TS_DNS_PORT" -d "$T/queries" -l "$SECONDS_PER_RUN" -c "$1" -T "$1" -q "$2" 2>/dev/null \
    | awk '/Queries per second/ {print $4}'
}
ab_rate() { ab -q -n "$N" -c "$1" "$2" 2>/dev/null | awk '/Requests per second/ {print $4}'; }

echo "cores: $(nproc)"
"$BUILD/bench/bench_checks_dns" --benchmark_filter=BM_DnsPollDnsmasq --benchmark_min_time=2 \
  --benchmark_format=csv 2>/dev/null > "$T/agent.csv"
col=$(head -1 "$T/agent.csv" | tr ',' '\n' | grep -n '^items_per_second$' | cut -d: -f1)
agent1=$(awk -F, -v c="$col" '/threads:1"/ {print $c; exit}' "$T/agent.csv")
agent8=$(awk -F, -v c="$col" '/threads:8"/ {print $c; exit}' "$T/agent.csv")
probe="http://127.0.0.1:$BBE_PORT/probe?module=dns_a&target=127.0.0.1:$ZAM_TS_DNS_PORT"
bbe1=$(ab_rate 1 "$probe"); bbe8=$(ab_rate 8 "$probe")
perf1=$(dnsperf_rate 1 1); perf8=$(dnsperf_rate 8 8); flood=$(dnsperf_rate 1 100)
printf '%-28s %12s %12s\n' "polls/s" "1 thread" "8 threads"
printf '%-28s %12.0f %12.0f\n' "agent DNS check" "$agent1" "$agent8"
printf '%-28s %12.0f %12.0f\n' "blackbox-exporter dns" "$bbe1" "$bbe8"
printf '%-28s %12.0f %12.0f\n' "dnsperf (1 in flight each)" "$perf1" "$perf8"
# dnsperf hands each answer from its receiving to its sending thread, which makes one query in
# flight slow; with 100 in flight it shows what dnsmasq itself can answer.
printf '%-28s %12.0f\n' "dnsperf, 100 in flight" "$flood"
awk -v a1="$agent1" -v a8="$agent8" -v b1="$bbe1" -v b8="$bbe8" -v c1="$perf1" -v c8="$perf8" 'BEGIN {
  printf "ratio agent/blackbox: %.2f (1), %.2f (8)\n", a1 / b1, a8 / b8
  printf "ratio agent/dnsperf:  %.2f (1), %.2f (8)\n", a1 / c1, a8 / c8 }'
