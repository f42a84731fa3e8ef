#!/usr/bin/env bash
# Polls per second through the whole daemon beside its peers, in one run on this machine, in a
# private network namespace (loopback only) with one nginx of its own:
#   - TCP polls of the nginx port (bench_poll_road_daemon: by id and with settings, 1 and 8 in
#     flight) against prometheus-blackbox-exporter's tcp_connect prober of the same port,
#     driven through /probe by wrk over kept-alive connections (1 and 8);
#   - ping polls of 127.0.0.1 (1 to 64 in flight) against fping's probes per second;
#   - the in-process poll road (bench_poll_road, 8 task threads), without the link.
# Prints the ratios with the core count and the load average. Needs root.
# Usage: bash bench/bench_poll_road_peers.sh [BUILD_DIR]   (run under flock /tmp/bench.lock)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=$(realpath "${1:-build}")
DURATION=${BENCH_POLL_ROAD_SECONDS:-5}
PINGS=${BENCH_POLL_ROAD_PINGS:-300000}   # fping probes in all

if [ -z "${POLL_ROAD_INSIDE:-}" ]; then
  bash bench/install-peers.sh prometheus-blackbox-exporter wrk fping curl
  echo "cores: $(nproc)   load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
  inproc=$("$BUILD/bench/bench_poll_road" --benchmark_filter=BM_PollsEndToEnd --benchmark_format=csv 2>/dev/null \
    | awk -F, 'NR == 1 { for (i = 1; i <= NF; ++i) if ($i == "items_per_second") c = i } /BM_PollsEndToEnd/ { print $c; exit }')
  export POLL_ROAD_INSIDE=1 POLL_ROAD_INPROC=$inproc
  exec unshare -m -n --propagation private bash "$0" "$BUILD"
fi

# Inside: private mounts and network.
ip link set lo up
for d in /etc/opt/corvane-agent /var/log/corvane-agent; do
  mkdir -p $d
  mount -t tmpfs -o mode=0755 tmpfs $d
done
T=$(mktemp -d)
NGINX_PORT=18080
cleanup() {
  kill "${BBE_PID:-}" 2>/dev/null || true
  [ -f "$T/nginx.pid" ] && kill "$(cat "$T/nginx.pid")" 2>/dev/null || true
  rm -rf "$T"
}
trap cleanup EXIT

cat > "$T/nginx.conf" <<CONF
worker_processes 2;
pid $T/nginx.pid;
error_log $T/nginx-error.log;
events { worker_connections 4096; }
http {
  access_log off;
  client_body_temp_path $T;
  proxy_temp_path $T;
  fastcgi_temp_path $T;
  uwsgi_temp_path $T;
  scgi_temp_path $T;
  server { listen 127.0.0.1:$NGINX_PORT backlog=4096; location / { return 200 "ok\n"; } }
}
CONF
nginx -c "$T/nginx.conf"

cat > "$T/blackbox.yml" <<CONF
modules:
  tcp_connect:
    prober: tcp
    timeout: 5s
    tcp:
      preferred_ip_protocol: ip4
CONF
. bench/blackbox-exporter.sh
start_blackbox_exporter "$T/blackbox.yml" "$T/bbe.log"
PROBE="http://127.0.0.1:$BBE_PORT/probe?module=tcp_connect&target=127.0.0.1:$NGINX_PORT"
curl -sf "$PROBE" | grep -q '^probe_success 1' || { echo "blackbox tcp_connect probe does not succeed" >&2; exit 1; }

# wrk keeps its connections alive; -c connections = requests in flight.
wrk_rate() { wrk -t "$1" -c "$2" -d "${DURATION}s" "$PROBE" | awk '/Requests\/sec/ {print $2}'; }
bbe1=$(wrk_rate 1 1)
bbe8=$(wrk_rate 4 8)

# fping sends without waiting for answers; its rate is answers over the whole run. One run
# has at most 65535 sequence numbers, so the count is spread over runs of 60000.
fping_rate() {
  local start end out=""
  start=$(date +%s.%N)
  for _ in $(seq $(( (PINGS + 59999) / 60000 ))); do
    out+=$(fping -q -c 60000 -p 0 -i 0 -t 200 127.0.0.1 2>&1 || true)$'\n'
  done
  end=$(date +%s.%N)
  echo "$out" | awk -v s="$start" -v e="$end" -F'[/ ]+' '/xmt\/rcv/ {for (i = 1; i <= NF; ++i) if ($i == "%loss") n += $(i + 3)}
    END {print n / (e - s)}'
}
fp=$(fping_rate)

ZAM_DAEMON_BENCH_INSIDE=1 ZAM_POLL_ROAD_TCP_PORT=$NGINX_PORT "$BUILD/bench/bench_poll_road_daemon" \
  --benchmark_min_time="$DURATION" --benchmark_format=csv 2> "$T/agent.err" > "$T/agent.csv" || true
col() { head -1 "$T/agent.csv" | tr ',' '\n' | tr -d '"' | grep -n "^$1\$" | cut -d: -f1; }
value() { awk -F, -v c="$(col "$3")" -v k="kind:$1/in_flight:$2/" '$1 ~ k {print $c; exit}' "$T/agent.csv"; }
for k in 0 1; do for n in 1 8; do
  [ -n "$(value $k $n items_per_second)" ] && [ -n "$(col items_per_second)" ] \
    || { echo "bench_poll_road_daemon failed:" >&2; tail -n 20 "$T/agent.err" "$T/agent.csv" >&2; exit 1; }
done; done

echo "cores: $(nproc)   load average at end: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-44s %12s %12s %16s\n' "per second" "1 in flight" "8 in flight" "wake-ups/poll"
printf '%-44s %12.0f %12.0f %8.1f %7.1f\n' "netagentd TCP polls by id (type 6)" "$(value 0 1 items_per_second)" \
  "$(value 0 8 items_per_second)" "$(value 0 1 wakeups_per_poll)" "$(value 0 8 wakeups_per_poll)"
printf '%-44s %12.0f %12.0f %8.1f %7.1f\n' "netagentd TCP polls with settings (type 5)" "$(value 1 1 items_per_second)" \
  "$(value 1 8 items_per_second)" "$(value 1 1 wakeups_per_poll)" "$(value 1 8 wakeups_per_poll)"
printf '%-44s %12.0f %12.0f\n' "blackbox-exporter tcp_connect (wrk, keep-alive)" "$bbe1" "$bbe8"
for n in 1 8 32 64; do
  printf '%-44s %12.0f   wake-ups/poll %.1f\n' "netagentd ping polls, $n in flight" "$(value 2 $n items_per_second)" \
    "$(value 2 $n wakeups_per_poll)"
done
printf '%-44s %12.0f\n' "fping 127.0.0.1" "$fp"
printf '%-44s %12.0f\n' "in-process poll road, 8 task threads" "${POLL_ROAD_INPROC:-0}"
failed=0
for k in 0 1 2; do for n in 1 8 32 64; do
  f=$(value $k $n failed); [ -n "$f" ] && failed=$(awk -v a="$failed" -v b="$f" 'BEGIN {print a + b}')
done; done
echo "daemon answers that were not a successful check: $failed"
best_ping=$(for n in 1 8 32 64; do value 2 $n items_per_second; done | sort -g | tail -1)
awk -v a1="$(value 0 1 items_per_second)" -v a8="$(value 0 8 items_per_second)" \
    -v s1="$(value 1 1 items_per_second)" -v s8="$(value 1 8 items_per_second)" \
    -v b1="$bbe1" -v b8="$bbe8" -v p="$best_ping" -v f="$fp" 'BEGIN {
  printf "ratio netagentd/blackbox TCP by id:       %.2f (1 in flight), %.2f (8 in flight)\n", a1 / b1, a8 / b8
  printf "ratio netagentd/blackbox TCP w/ settings: %.2f (1 in flight), %.2f (8 in flight)\n", s1 / b1, s8 / b8
  printf "ratio netagentd ping (best)/fping:        %.2f\n", p / f }'
