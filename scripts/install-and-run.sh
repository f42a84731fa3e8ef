#!/usr/bin/env bash
# Installs what the agent needs, builds it, writes a working default configuration on the
# first run and starts the daemon in the foreground with its log copied to stderr.
# Run as root from anywhere: bash scripts/install-and-run.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cert=/etc/opt/corvane-agent/agent-cert.pem

bash "$root/scripts/setup.sh"

cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build "$root/build" -j"$(nproc)"

bash "$root/scripts/write-default-config.sh"

echo "connection id: $("$root/build/bin/netagentd" -connectionId "$cert")" >&2
exec "$root/build/bin/netagentd" -debug
