#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build (unit, window and
# end-to-end tests, each test in a process of its own, and each test binary whole, in its own
# order and shuffled), the unit and window tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer (each test alone, and each binary whole and shuffled), then the fuzz
# targets for a bounded time.
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

# Under the sanitizers every test runs in a process of its own, and each test binary once more
# whole and shuffled, so that what one test leaves behind meets the next.
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DLEDROW_SANITIZE=ON
cmake --build build-sanitize -j"$jobs"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs" -L '^unit$|^whole-unit$' -E '_whole$'
# The window tests too; the GL driver keeps allocations of its own until exit, so leaks are not
# checked there.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 \
  ctest --test-dir build-sanitize --output-on-failure -j"$jobs" -L '^display$|^whole-display$' -E '_whole$'
# Arbitrary bytes against the loaders, for a bounded time from the committed corpus.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLEDROW_BUILD_FUZZERS=ON -DLEDROW_BUILD_GAME=OFF -DBUILD_TESTING=OFF
cmake --build build-fuzz -j"$jobs"
tools/fuzz/run-fuzzers.sh build-fuzz "${LEDROW_FUZZ_SECONDS:-60}"
echo "All tests passed."
