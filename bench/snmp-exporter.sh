# Sourced by the SNMP bench scripts.

# start_snmp_exporter CONFIG LOG: starts prometheus-snmp-exporter with CONFIG on a free port of
# 127.0.0.1 and waits until it answers. Sets EXP_PORT and EXP_PID; the caller stops it.
start_snmp_exporter() {
  EXP_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  prometheus-snmp-exporter --config.file="$1" --web.listen-address="127.0.0.1:$EXP_PORT" > "$2" 2>&1 &
  EXP_PID=$!
  for _ in $(seq 50); do
    curl -s -o /dev/null "http://127.0.0.1:$EXP_PORT/" && break
    sleep 0.1
  done
}

# command_rate WORKERS COMMAND...: runs COMMAND $N times in all, over WORKERS loops side by
# side, and prints the runs per second.
command_rate() {
  local workers=$1; shift
  local start end
  start=$(date +%s.%N)
  for _ in $(seq "$workers"); do
    ( for _ in $(seq $((N / workers))); do "$@" > /dev/null 2>&1; done ) &
  done
  wait
  end=$(date +%s.%N)
  awk -v n="$N" -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", n / (b - a) }'
}
