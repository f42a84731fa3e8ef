#!/usr/bin/env bash
# The daemon's memory beside prometheus-blackbox-exporter's, in one run: the daemon idle with
# its checks library loaded and with 10,000 and 100,000 stored monitors (bench_daemon_memory),
# and the exporter idle after one probe. Needs root (private namespaces, the peer's install).
# Usage: bash bench/bench_daemon_memory_peers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}

bash bench/install-peers.sh prometheus-blackbox-exporter curl

T=$(mktemp -d)
trap 'kill "$BBE_PID" 2>/dev/null || true; rm -rf "$T"' EXIT
cat > "$T/blackbox.yml" <<CONF
modules:
  tcp_connect:
    prober: tcp
    timeout: 5s
CONF
. bench/blackbox-exporter.sh
start_blackbox_exporter "$T/blackbox.yml" "$T/bbe.log"
# One probe, so the exporter has set up what a probe needs, then let it settle.
curl -sf "http://127.0.0.1:$BBE_PORT/probe?module=tcp_connect&target=127.0.0.1:$BBE_PORT" >/dev/null
sleep 2
kb() { awk -v k="$1" '$1 == k {print $2}' "/proc/$BBE_PID/status"; }
bbe_rss=$(kb VmRSS:); bbe_anon=$(kb RssAnon:); bbe_file=$(kb RssFile:)

echo "cores: $(nproc)"
"$BUILD/bench/bench_daemon_memory" --benchmark_format=csv 2>/dev/null > "$T/agent.csv"
col() { head -1 "$T/agent.csv" | tr ',' '\n' | tr -d '"' | grep -n "^$1\$" | cut -d: -f1; }
value() { awk -F, -v c="$(col "$2")" -v r="$1" '$1 ~ r {print $c; exit}' "$T/agent.csv"; }
idle_rss=$(value '/10000/' idle_rss_kb); idle_anon=$(value '/10000/' idle_anon_kb); idle_file=$(value '/10000/' idle_file_kb)
printf '%-34s %10s %10s %10s\n' "kB" "VmRSS" "RssAnon" "RssFile"
printf '%-34s %10.0f %10.0f %10.0f\n' "netagentd idle, library loaded" "$idle_rss" "$idle_anon" "$idle_file"
for n in 10000 100000; do
  printf '%-34s %10.0f %10.0f %10.0f\n' "netagentd, $n stored monitors" "$(value "/$n/" stored_rss_kb)" \
    "$(value "/$n/" stored_anon_kb)" "$(value "/$n/" stored_file_kb)"
done
printf '%-34s %10.0f %10.0f %10.0f\n' "blackbox-exporter idle" "$bbe_rss" "$bbe_anon" "$bbe_file"
for n in 10000 100000; do
  printf 'bytes per stored monitor (19 settings), %s: %.0f\n' "$n" "$(value "/$n/" anon_bytes_per_record)"
done
awk -v a="$idle_rss" -v b="$bbe_rss" 'BEGIN { printf "idle VmRSS ratio netagentd/blackbox: %.2f\n", a / b }'
