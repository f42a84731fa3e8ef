#!/usr/bin/env bash
# Writes the agent's default configuration unless /etc/opt/corvane-agent/quv.ini exists: a
# passive agent on 127.0.0.1 over TLS that trusts one service certificate, generated here
# beside the agent's own. Run as root; install-and-run.sh calls it.
set -euo pipefail

config_dir=/etc/opt/corvane-agent
quv=$config_dir/quv.ini
cert=$config_dir/agent-cert.pem
key=$config_dir/agent-key.pem
# The service's identity for the default configuration: only who can read this key (root) can
# act as the service, and a service may run upgrades as root.
service_cert=$config_dir/service-cert.pem
service_key=$config_dir/service-key.pem

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

# A self-signed certificate and its key (0600, root); the certificate is world-readable.
make_identity() {
  local crt=$1 pem=$2 cn=$3
  if [ ! -e "$crt" ] || [ ! -e "$pem" ]; then
    (umask 077 && openssl req -x509 -newkey rsa:2048 -nodes -days 3650 \
       -subj "/CN=$cn" -keyout "$pem" -out "$crt" 2>/dev/null)
    chmod 644 "$crt"
  fi
  chown root:root "$pem"
  chmod 600 "$pem"
}

if [ ! -e "$quv" ]; then
  make_identity "$cert" "$key" "$(hostname)"
  make_identity "$service_cert" "$service_key" "corvane-service-$(hostname)"
  port=$(free_port)
  cat > "$quv" <<INI
[Common]
AgentType=1

[AgentServer0]
Transport=SSL
Enabled=1
Host=127.0.0.1
Port=$port

[SSLSettings]
CertificatePath=$cert
PrivateKeyPath=$key
ServiceCertificatePath=$service_cert
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
  echo "wrote $quv (passive mode, TLS on 127.0.0.1:$port; the service authenticates with $service_key)" >&2
fi

