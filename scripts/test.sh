#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test:
#   1. fuzz targets (clang, ASan+UBSan) for a bounded time on their seed corpora,
#   2. the test suite under AddressSanitizer and UndefinedBehaviorSanitizer,
#   3. the test suite in the normal build (its CTest summary is the last thing printed).
# Real test servers (scripts/test-servers.sh) run on 127.0.0.1 for the duration.
# ZAM_SKIP_SANITIZE=1 or ZAM_SKIP_FUZZ=1 leave out steps 1 or 2 (for quick local runs).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/setup.sh

jobs=$(nproc)
export CCACHE_DIR=${CCACHE_DIR:-$HOME/.cache/ccache}

configure_and_build() { # dir, cmake args...
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j"$jobs"
}

if [ -x scripts/test-servers.sh ]; then
  trap 'bash "$root/scripts/test-servers.sh" stop' EXIT
  bash scripts/test-servers.sh start
  # tests that need the servers fail, not skip, when they are missing
  export ZAM_TEST_SERVERS_REQUIRED=1
fi

if [ "${ZAM_SKIP_FUZZ:-0}" != 1 ]; then
  CC=clang CXX=clang++ configure_and_build build-fuzz -DZAM_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
  bash scripts/run-fuzz.sh build-fuzz/fuzz "${ZAM_FUZZ_SECONDS:-30}"
fi

if [ "${ZAM_SKIP_SANITIZE:-0}" != 1 ]; then
  configure_and_build build-asan -DZAM_SANITIZE=ON -DZAM_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs"
fi

configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure -j"$jobs"
