#!/usr/bin/env bash
# Runs every fuzz target in DIR for SECONDS on a copy of its checked-in seed corpus.
set -euo pipefail
dir=${1:?usage: run-fuzz.sh DIR SECONDS}
seconds=${2:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
status=0
pids=()
for bin in "$dir"/fuzz_*; do
  [ -f "$bin" ] && [ -x "$bin" ] || continue   # skip the AUTOMOC folders beside the binaries
  name=$(basename "$bin"); name=${name#fuzz_}
  seeds="$root/fuzz/$name/corpus"
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/
  ( "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
       -artifact_prefix="$work/" "$work" >"$work.log" 2>&1 \
     && echo "fuzz $name: ok" \
     || { echo "fuzz $name: FAILED"; tail -n 40 "$work.log"; exit 1; } ) &
  pids+=($!)
done
for p in "${pids[@]}"; do wait "$p" || status=1; done
exit $status
