#!/usr/bin/env bash
# Installs what the agent needs, builds it, writes a working default configuration on the
# first run and starts the daemon in the foreground with its log copied to stderr.
# Run as root from anywhere: bash scripts/install-and-run.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
config_dir=/etc/opt/corvane-agent
quv=$config_dir/quv.ini
cert=$config_dir/agent-cert.pem
key=$config_dir/agent-key.pem

bash "$root/scripts/setup.sh"

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$root/build" -j"$(nproc)"

mkdir -p "$config_dir" /var/log/corvane-agent

# A free TCP port on 127.0.0.1 for the agent server, from 5600 upwards.
free_port() {
  local port
  for port in $(seq 5600 5999); do
    if ! ss -Htln "sport = :$port" | grep -q .; then
      echo "$port"
      return 0
    fi
  done
  echo "no free TCP port between 5600 and 5999" >&2
  return 1
}

if [ ! -e "$quv" ]; then
  if [ ! -e "$cert" ] || [ ! -e "$key" ]; then
    (umask 077 && openssl req -x509 -newkey rsa:2048 -nodes -days 3650 \
       -subj "/CN=$(hostname)" -keyout "$key" -out "$cert" 2>/dev/null)
    chmod 644 "$cert"
  fi
  port=$(free_port)
  cat > "$quv" <<INI
[Common]
AgentType=1

[AgentServer0]
Transport=TCP
Enabled=1
Host=127.0.0.1
Port=$port

[SSLSettings]
CertificatePath=$cert
PrivateKeyPath=$key
ServiceCertificatePath=
AllowUntrustedService=0

[AgentControlServer]
Port=3456

[SNMP]
UDPProxyPort=3457
UDPTrapReceiverPort=162

[Syslog]
UDPReceiverPort=514

[Python]
UseBuiltInPython=1
CustomPythonPath=

[Debug]
PeriodicStatistics=false
INI
  echo "wrote $quv (passive mode, TCP on 127.0.0.1:$port)" >&2
fi

echo "connection id: $("$root/build/bin/netagentd" -connectionId "$cert")" >&2
exec "$root/build/bin/netagentd" -debug
