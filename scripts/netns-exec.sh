#!/bin/sh
# Runs a command in a new, private network namespace that has only the loopback interface, up.
# With --silent the namespace does not answer ICMP echo requests (net.ipv4.icmp_echo_ignore_all=1
# and net.ipv6.icmp.echo_ignore_all=1 inside it), for the case of a host that stays silent.
# The host's own network settings are never touched. Needs root (or CAP_SYS_ADMIN).
#   netns-exec.sh [--silent] COMMAND [ARG...]
set -e
silent=0
if [ "${1:-}" = "--silent" ]; then
  silent=1
  shift
fi
if [ "$#" -eq 0 ]; then
  echo "usage: netns-exec.sh [--silent] COMMAND [ARG...]" >&2
  exit 2
fi
exec unshare --net sh -c '
  set -e
  ip link set lo up
  if [ "$0" = 1 ]; then
    echo 1 > /proc/sys/net/ipv4/icmp_echo_ignore_all
    # older kernels have no IPv6 switch; IPv4 is what matters then
    echo 1 > /proc/sys/net/ipv6/icmp/echo_ignore_all 2>/dev/null || true
  fi
  exec "$@"' "$silent" "$@"
