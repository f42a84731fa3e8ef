#!/bin/sh
# Runs a command in a private mount namespace with empty tmpfs folders over the daemon's
# fixed paths, so tests can use /etc/opt/corvane-agent and /var/log/corvane-agent freely.
# Needs root (CI and the test command run as root).
set -e
if [ "$#" -eq 0 ]; then
  echo "usage: private-paths.sh COMMAND [ARG...]" >&2
  exit 2
fi
exec unshare -m --propagation private sh -c '
  set -e
  for d in /etc/opt/corvane-agent /var/log/corvane-agent; do
    mkdir -p "$d"
    mount -t tmpfs -o mode=0755 tmpfs "$d"
  done
  exec "$@"' private-paths "$@"
