#!/usr/bin/env bash
# Installs the peer programs that benchmarks compare against, from Debian, without starting
# their system services. Usage: bash bench/install-peers.sh PACKAGE...
# Known peers: rsyslog snmptrapd prometheus-blackbox-exporter prometheus-snmp-exporter
#              prometheus-node-exporter apache2-utils (ab) fping dnsperf curl wrk hyperfine snmp
# Not part of the test set-up: only bench scripts call it.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
[ "$(id -u)" -eq 0 ] || { echo "install-peers.sh must run as root" >&2; exit 1; }
[ $# -gt 0 ] || { echo "usage: $0 PACKAGE..." >&2; exit 2; }

missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -gt 0 ] || exit 0

# a package's own service must not start here (no systemd; its ports are the benchmark's)
own_policy=0
if [ ! -e /usr/sbin/policy-rc.d ]; then
  printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d
  chmod 755 /usr/sbin/policy-rc.d
  own_policy=1
fi
trap '[ "$own_policy" = 0 ] || rm -f /usr/sbin/policy-rc.d' EXIT
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
