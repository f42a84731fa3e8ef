#!/bin/sh
### BEGIN INIT INFO
# Provides:          corvane-agent
# Required-Start:    $network $remote_fs
# Required-Stop:     $network $remote_fs
# Default-Start:     2 3 4 5
# Default-Stop:      0 1 6
# Short-Description: Corvane network monitoring agent (netagentd)
### END INIT INFO
#
# Starts, stops and reports the agent daemon for the desktop manager, which runs it with one
# option and reads the integer it prints:
#   -status   1 when the daemon runs (the one started here, or one started otherwise in this
#             network namespace, such as `netagentd -debug` in a terminal), else 0
#   -start    starts `netagentd -daemon` in the background unless one runs; 1 once it runs
#   -stop     SIGTERM, then waits for the exit (longer than the daemon's own 27 s bound); 0
#   -enabled  1 when the daemon starts at system start-up, else 0
#   -enable   switches that on; prints the new state (1 on success)
#   -disable  switches that off; prints the new state (0 on success)
# The LSB verbs start, stop, restart and status work too, so the script can serve as the
# system's init script (-enable links it as /etc/init.d/corvane-agent when systemd is absent).
#
# Environment (tests): ZAM_DAEMON_PIDFILE (default /run/corvane-agent.pid), ZAM_INIT_ROOT
# (prefix of /etc for the start-up links, default empty), ZAM_DAEMON_BIN (the daemon program,
# default netagentd beside this script).

set -u
# "-status" runs every second: it starts as few programs as it can
script=$0
# run through the start-up links: the daemon lies beside the real file
[ -L "$script" ] && script=$(readlink -f "$script")
case "$script" in
  */*) here=${script%/*} ;;
  *) here=. ;;
esac
daemon=${ZAM_DAEMON_BIN:-$here/netagentd}
pidfile=${ZAM_DAEMON_PIDFILE:-/run/corvane-agent.pid}
root=${ZAM_INIT_ROOT:-}
name=corvane-agent
stop_wait=40

# true when the pid is a live netagentd (not a zombie)
is_daemon() {
  [ -n "$1" ] && [ -r "/proc/$1/stat" ] || return 1
  comm=
  read -r comm 2>/dev/null < "/proc/$1/comm"
  [ "$comm" = netagentd ] || return 1
  stat=
  read -r stat 2>/dev/null < "/proc/$1/stat"
  # the state letter follows the last ") " (the name may hold spaces and parentheses)
  state=${stat##*) }
  [ "${state%% *}" != Z ]
}

# the daemons this script answers for: the recorded one, else any in this network namespace
daemon_pids() {
  recorded=
  [ -r "$pidfile" ] && read -r recorded 2>/dev/null < "$pidfile"
  if is_daemon "$recorded"; then echo "$recorded"; return; fi
  candidates=$(pgrep -x netagentd 2>/dev/null) || return 0
  own_net=$(readlink /proc/self/ns/net)
  for p in $candidates; do
    [ "$(readlink "/proc/$p/ns/net" 2>/dev/null)" = "$own_net" ] && is_daemon "$p" && echo "$p"
  done
}

status() { [ -n "$(daemon_pids)" ] && echo 1 || echo 0; }

start() {
  if [ -n "$(daemon_pids)" ]; then echo 1; return 0; fi
  [ -x "$daemon" ] || { echo "cannot run $daemon" >&2; echo 0; return 1; }
  # the daemon neither forks nor detaches: put it in the background in a session of its own
  setsid "$daemon" -daemon </dev/null >/dev/null 2>&1 &
  pid=$!
  echo "$pid" > "$pidfile"
  # it runs once its process is netagentd; a start-up failure ends it at once
  i=0
  while [ $i -lt 50 ]; do
    is_daemon "$pid" && { sleep 0.2; is_daemon "$pid" && { echo 1; return 0; }; }
    i=$((i + 1)); sleep 0.1
  done
  rm -f "$pidfile"
  echo "netagentd did not start" >&2
  echo 0
  return 1
}

# true while one of the given pids is still a live daemon
any_daemon() {
  for p in $1; do is_daemon "$p" && return 0; done
  return 1
}

stop() {
  pids=$(daemon_pids)
  [ -n "$pids" ] && kill -TERM $pids 2>/dev/null
  # waits for the daemons it signalled only: one started meanwhile is not its business
  i=0
  while any_daemon "$pids" && [ $i -lt $((stop_wait * 10)) ]; do
    i=$((i + 1)); sleep 0.1
  done
  if any_daemon "$pids"; then
    echo "netagentd did not stop within $stop_wait s" >&2
    echo 1
    return 1
  fi
  recorded=
  [ -r "$pidfile" ] && read -r recorded 2>/dev/null < "$pidfile"
  # a daemon started meanwhile keeps its record
  is_daemon "$recorded" || rm -f "$pidfile"
  echo 0
}

systemd_running() { [ -z "$root" ] && [ -d /run/systemd/system ]; }
unit=/etc/systemd/system/$name.service

rc_links() { ls "$root"/etc/rc2.d/S*"$name" 2>/dev/null; }

enabled() {
  if systemd_running; then
    systemctl is-enabled --quiet "$name" 2>/dev/null && echo 1 || echo 0
  else
    [ -n "$(rc_links)" ] && echo 1 || echo 0
  fi
}

enable() {
  if systemd_running; then
    cat > "$unit" <<UNIT || { echo 0; return 1; }
[Unit]
Description=Corvane network monitoring agent
After=network-online.target

[Service]
ExecStart=$daemon -daemon
KillSignal=SIGTERM
TimeoutStopSec=$stop_wait

[Install]
WantedBy=multi-user.target
UNIT
    systemctl daemon-reload >/dev/null 2>&1
    systemctl enable "$name" >/dev/null 2>&1
  else
    script=$(readlink -f "$script")
    mkdir -p "$root/etc/init.d" || { echo 0; return 1; }
    ln -sf "$script" "$root/etc/init.d/$name"
    for level in 2 3 4 5; do
      mkdir -p "$root/etc/rc$level.d" && ln -sf "../init.d/$name" "$root/etc/rc$level.d/S20$name"
    done
    for level in 0 1 6; do
      mkdir -p "$root/etc/rc$level.d" && ln -sf "../init.d/$name" "$root/etc/rc$level.d/K80$name"
    done
  fi
  enabled
}

disable() {
  if systemd_running; then
    systemctl disable "$name" >/dev/null 2>&1
  else
    for level in 0 1 2 3 4 5 6; do
      rm -f "$root/etc/rc$level.d/S20$name" "$root/etc/rc$level.d/K80$name"
    done
  fi
  enabled
}

case "${1:-}" in
  -status|status) status ;;
  -start|start) start ;;
  -stop|stop) stop ;;
  restart) stop >/dev/null; start ;;
  -enabled) enabled ;;
  -enable) enable ;;
  -disable) disable ;;
  *) echo "usage: $0 -status|-start|-stop|-enabled|-enable|-disable" >&2; exit 2 ;;
esac
