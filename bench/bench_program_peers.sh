#!/usr/bin/env bash
# Program, Python script and e-mail round-trip polls (bench_checks_program) beside hyperfine
# running the same one-line scripts, and the round trip beside its script run alone; prints the
# ratios and the core count. Needs root for the peer's install and the test servers running for
# the round trip.
# Usage: bash bench/bench_program_peers.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}

bash bench/install-peers.sh hyperfine
echo "cores: $(nproc)"
"$BUILD/bench/bench_checks_program"
