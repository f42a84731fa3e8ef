#!/bin/sh
# Runs a command in private mount and network namespaces: empty tmpfs folders over the
# daemon's fixed paths, so tests can use /etc/opt/corvane-agent and /var/log/corvane-agent
# freely, and a loopback of its own, so daemons started by parallel tests never compete for
# fixed ports such as the control port. The shared test servers are not reachable from here.
# Needs root (CI and the test command run as root).
set -e
if [ "$#" -eq 0 ]; then
  echo "usage: private-paths.sh COMMAND [ARG...]" >&2
  exit 2
fi
exec unshare -m -n --propagation private sh -c '
  set -e
  ip link set lo up
  for d in /etc/opt/corvane-agent /var/log/corvane-agent; do
    mkdir -p "$d"
    mount -t tmpfs -o mode=0755 tmpfs "$d"
  done
  exec "$@"' private-paths "$@"
