#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build (unit, window and
# end-to-end tests), then the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
# Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")"
tools/setup.sh
# Nothing a test starts may reach past loopback.
export LEDROW_PUBLIC_ADDRESS_URL=http://127.0.0.1:9/raw
jobs=$(nproc)

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DLEDROW_SANITIZE=ON
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs" -L unit
echo "All tests passed."
