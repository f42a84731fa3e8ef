#!/usr/bin/env bash
# Installs every Debian package that building, testing and running the agent need,
# and creates the daemon's fixed folders. Safe to run again.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

packages=(
  # build
  build-essential cmake ninja-build ccache pkg-config git
  qtbase5-dev qtbase5-dev-tools libqt5opengl5-dev
  libssl-dev openssl libcurl4-openssl-dev libsnmp-dev libssh2-1-dev
  libmariadb-dev libpq-dev libc-ares-dev zlib1g-dev
  # tests, fuzzing, benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  util-linux iproute2 procps psmisc socat netcat-openbsd
  xvfb xauth trayer
  # local test servers (scripts/test-servers.sh) and the clients the tests drive them with
  nginx-light snmpd snmp mariadb-server mariadb-client postgresql postgresql-client
  openssh-server openssh-client vsftpd dovecot-imapd dovecot-pop3d python3-aiosmtpd
  dnsmasq-base bind9-dnsutils iputils-ping curl openssl tinyproxy dante-server
  nodejs   # an SSH script monitor case runs a node script
)

if [ "$(id -u)" -ne 0 ]; then
  echo "setup.sh must run as root" >&2
  exit 1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  # server packages must not start their system-wide daemons (no systemd here): a
  # policy-rc.d that denies every start, only for this install when none is present
  own_policy=0
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf '#!/bin/sh\nexit 101\n' > /usr/sbin/policy-rc.d
    chmod 755 /usr/sbin/policy-rc.d
    own_policy=1
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  [ "$own_policy" = 0 ] || rm -f /usr/sbin/policy-rc.d
fi

mkdir -p /etc/opt/corvane-agent /var/log/corvane-agent
# the manager lets only members of this group (and root) save the daemon's settings
getent group corvane-agent >/dev/null || groupadd corvane-agent
