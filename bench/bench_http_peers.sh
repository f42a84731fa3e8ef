#!/usr/bin/env bash
# HTTP polls per second against the test nginx: this agent's HTTP(S) check (bench_checks_http,
# 1 and 8 threads) beside prometheus-blackbox-exporter's http prober (an http_2xx module, driven
# through /probe by `ab`) and `ab` itself (no keep-alive: one connection per request), -c 1 and
# -c 8. Needs root for the peers' install and the test servers running.
# Usage: bash bench/bench_http_peers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
. scripts/test-servers.env
URL="http://127.0.0.1:$ZAM_TS_HTTP_PORT/"
N=${BENCH_HTTP_REQUESTS:-4000}

bash bench/install-peers.sh prometheus-blackbox-exporter apache2-utils

T=$(mktemp -d)
trap 'kill "$BBE_PID" 2>/dev/null || true; rm -rf "$T"' EXIT
cat > "$T/blackbox.yml" <<CONF
modules:
  http_2xx:
    prober: http
    timeout: 5s
    http:
      preferred_ip_protocol: ip4
CONF
. bench/blackbox-exporter.sh
start_blackbox_exporter "$T/blackbox.yml" "$T/bbe.log"

ab_rate() { ab -q -n "$N" -c "$1" "$2" 2>/dev/null | awk '/Requests per second/ {print $4}'; }

echo "cores: $(nproc)"
"$BUILD/bench/bench_checks_http" --benchmark_filter=BM_HttpPollNginx --benchmark_min_time=2 \
  --benchmark_format=csv 2>/dev/null > "$T/agent.csv"
# items_per_second is a column of its own; take it by name.
col=$(head -1 "$T/agent.csv" | tr ',' '\n' | grep -n '^items_per_second$' | cut -d: -f1)
agent1=$(awk -F, -v c="$col" '/threads:1"/ {print $c; exit}' "$T/agent.csv")
agent8=$(awk -F, -v c="$col" '/threads:8"/ {print $c; exit}' "$T/agent.csv")
probe="http://127.0.0.1:$BBE_PORT/probe?module=http_2xx&target=$URL"
bbe1=$(ab_rate 1 "$probe"); bbe8=$(ab_rate 8 "$probe")
ab1=$(ab_rate 1 "$URL"); ab8=$(ab_rate 8 "$URL")
printf '%-28s %12s %12s\n' "polls/s" "1 thread" "8 threads"
printf '%-28s %12.0f %12.0f\n' "agent HTTP check" "$agent1" "$agent8"
printf '%-28s %12.0f %12.0f\n' "blackbox-exporter http_2xx" "$bbe1" "$bbe8"
printf '%-28s %12.0f %12.0f\n' "ab (no keep-alive)" "$ab1" "$ab8"
awk -v a1="$agent1" -v a8="$agent8" -v b1="$bbe1" -v b8="$bbe8" -v c1="$ab1" -v c8="$ab8" 'BEGIN {
  printf "ratio agent/blackbox: %.2f (1), %.2f (8)\n", a1 / b1, a8 / b8
  printf "ratio agent/ab:       %.2f (1), %.2f (8)\n", a1 / c1, a8 / c8 }'
"$BUILD/bench/bench_checks_http" --benchmark_filter=BM_HttpPoll50MBRegexRule 2>/dev/null | grep -E 'BM_|peak' || true
