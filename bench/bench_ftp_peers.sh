#!/usr/bin/env bash
# FTP polls per second against the test vsftpd without TLS (anonymous name listing of "/"):
# this agent's FTP check (bench_checks_ftp, 1 and 8 threads) beside a loop of
# `curl --list-only`, one after another and 8 at a time. The curl figure is mostly process
# start-up (one new process per listing), so the ratio says little about libcurl itself.
# Needs root for the peer's install and the test servers running.
# Usage: bash bench/bench_ftp_peers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
. scripts/test-servers.env
N=${BENCH_FTP_REQUESTS:-400}
URL="ftp://127.0.0.1:$ZAM_TS_FTP_NOTLS_PORT/"

bash bench/install-peers.sh curl

T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT

curl_rate() {
  local start end
  start=$(date +%s.%N)
  seq "$N" | xargs -P "$1" -I{} curl -s --list-only -o /dev/null "$URL"
  end=$(date +%s.%N)
  awk -v n="$N" -v s="$start" -v e="$end" 'BEGIN { print n / (e - s) }'
}

echo "cores: $(nproc)"
"$BUILD/bench/bench_checks_ftp" --benchmark_filter=BM_FtpPollVsftpd --benchmark_min_time=2 \
  --benchmark_format=csv 2>/dev/null > "$T/agent.csv"
col=$(head -1 "$T/agent.csv" | tr ',' '\n' | grep -n '^items_per_second$' | cut -d: -f1)
agent1=$(awk -F, -v c="$col" '/threads:1"/ {print $c; exit}' "$T/agent.csv")
agent8=$(awk -F, -v c="$col" '/threads:8"/ {print $c; exit}' "$T/agent.csv")
curl1=$(curl_rate 1); curl8=$(curl_rate 8)
printf '%-28s %12s %12s\n' "polls/s" "1 thread" "8 threads"
printf '%-28s %12.0f %12.0f\n' "agent FTP check" "$agent1" "$agent8"
printf '%-28s %12.0f %12.0f\n' "curl --list-only loop" "$curl1" "$curl8"
awk -v a1="$agent1" -v a8="$agent8" -v c1="$curl1" -v c8="$curl8" 'BEGIN {
  printf "ratio agent/curl: %.2f (1), %.2f (8)\n", a1 / c1, a8 / c8 }'
