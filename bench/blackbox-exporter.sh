# Sourced by bench scripts: starts prometheus-blackbox-exporter with the configuration file $1
# on a free port of 127.0.0.1 and waits until it answers. Sets BBE_PORT and BBE_PID; its log
# goes to $2. The caller stops it (kill "$BBE_PID").
start_blackbox_exporter() {
  BBE_PORT=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  prometheus-blackbox-exporter --config.file="$1" --web.listen-address="127.0.0.1:$BBE_PORT" > "$2" 2>&1 &
  BBE_PID=$!
  for _ in $(seq 50); do
    curl -sf "http://127.0.0.1:$BBE_PORT/" >/dev/null 2>&1 && break
    sleep 0.1
  done
}
