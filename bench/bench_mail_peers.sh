#!/usr/bin/env bash
# Mail polls per second against the test servers: this agent's SMTP check (connect, EHLO, QUIT)
# and IMAP check (connect, LOGIN, LOGOUT) from bench_checks_mail, 1 and 8 threads, beside
# prometheus-blackbox-exporter's tcp prober holding the same dialogues (query_response
# modules, driven through /probe by `ab` -c 1 and -c 8). Needs root for the peers' install and
# the test servers running.
# Usage: bash bench/bench_mail_peers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
. scripts/test-servers.env
N_SMTP=${BENCH_SMTP_REQUESTS:-3000}
N_IMAP=${BENCH_IMAP_REQUESTS:-200}

bash bench/install-peers.sh prometheus-blackbox-exporter apache2-utils

T=$(mktemp -d)
trap 'kill "$BBE_PID" 2>/dev/null || true; rm -rf "$T"' EXIT
cat > "$T/blackbox.yml" <<CONF
modules:
  smtp_ehlo:
    prober: tcp
    timeout: 5s
    tcp:
      preferred_ip_protocol: ip4
      query_response:
        - expect: "^220 "
        - send: "EHLO bench.zam.test\r"
        - expect: "^250 "
        - send: "QUIT\r"
        - expect: "^221"
  imap_login:
    prober: tcp
    timeout: 5s
    tcp:
      preferred_ip_protocol: ip4
      query_response:
        - expect: "^\\\\* OK"
        - send: "a0 LOGIN \"$ZAM_TS_USER\" \"$ZAM_TS_PASSWORD\"\r"
        - expect: "^a0 OK"
        - send: "a1 LOGOUT\r"
        - expect: "^a1 OK"
CONF
. bench/blackbox-exporter.sh
start_blackbox_exporter "$T/blackbox.yml" "$T/bbe.log"
probe() { echo "http://127.0.0.1:$BBE_PORT/probe?module=$1&target=$ZAM_TS_HOST:$2"; }
# a probe that fails still answers 200; make sure the dialogues really succeed before timing them
for m in "smtp_ehlo $ZAM_TS_SMTP_PORT" "imap_login $ZAM_TS_IMAP_PORT"; do
  set -- $m
  curl -sf "$(probe "$1" "$2")" | grep -q '^probe_success 1' || { echo "blackbox $1 probe fails" >&2; exit 1; }
done
ab_rate() { ab -q -n "$1" -c "$2" "$3" 2>/dev/null | awk '/Requests per second/ {print $4}'; }

echo "cores: $(nproc)"
"$BUILD/bench/bench_checks_mail" --benchmark_min_time=2 --benchmark_format=csv 2>/dev/null > "$T/agent.csv"
col=$(head -1 "$T/agent.csv" | tr ',' '\n' | grep -n '^items_per_second$' | cut -d: -f1)
rate() { awk -F, -v c="$col" -v n="$1" -v t="threads:$2\"" 'index($0, n) && index($0, t) {print $c; exit}' "$T/agent.csv"; }
smtp1=$(rate BM_SmtpPollEhloQuit 1); smtp8=$(rate BM_SmtpPollEhloQuit 8)
imap1=$(rate BM_ImapPollLoginLogout 1); imap8=$(rate BM_ImapPollLoginLogout 8)
bs1=$(ab_rate "$N_SMTP" 1 "$(probe smtp_ehlo "$ZAM_TS_SMTP_PORT")")
bs8=$(ab_rate "$N_SMTP" 8 "$(probe smtp_ehlo "$ZAM_TS_SMTP_PORT")")
bi1=$(ab_rate "$N_IMAP" 1 "$(probe imap_login "$ZAM_TS_IMAP_PORT")")
bi8=$(ab_rate "$N_IMAP" 8 "$(probe imap_login "$ZAM_TS_IMAP_PORT")")
printf '%-34s %12s %12s\n' "polls/s" "1 thread" "8 threads"
printf '%-34s %12.1f %12.1f\n' "agent SMTP (EHLO, QUIT)" "$smtp1" "$smtp8"
printf '%-34s %12.1f %12.1f\n' "blackbox-exporter tcp smtp_ehlo" "$bs1" "$bs8"
printf '%-34s %12.1f %12.1f\n' "agent IMAP (LOGIN, LOGOUT)" "$imap1" "$imap8"
printf '%-34s %12.1f %12.1f\n' "blackbox-exporter tcp imap_login" "$bi1" "$bi8"
awk -v a1="$smtp1" -v a8="$smtp8" -v b1="$bs1" -v b8="$bs8" -v c1="$imap1" -v c8="$imap8" -v d1="$bi1" -v d8="$bi8" 'BEGIN {
  printf "ratio agent/blackbox SMTP: %.2f (1), %.2f (8)\n", a1 / b1, a8 / b8
  printf "ratio agent/blackbox IMAP: %.2f (1), %.2f (8)\n", c1 / d1, c8 / d8 }'
