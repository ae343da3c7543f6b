#!/usr/bin/env bash
# Builds everything and runs the whole test suite. The default preset names
# every option, so whatever configured build/ before (scripts/demo.sh, a
# hand-made cache) the plain suite is built and run in full; every ctest run
# fails when it finds no tests.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh

jobs=$(nproc)
cmake --preset default
cmake --build --preset default -j"$jobs"
plain=$(ctest --preset default -N | sed -n 's/^Total Tests: //p')
echo "Plain suite: ${plain:-0} tests"
ctest --preset default -j"$jobs"

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake --preset asan-ubsan
cmake --build --preset asan-ubsan -j"$jobs"
ctest --preset asan-ubsan -j"$jobs"

# Eight instances processing at once, under ThreadSanitizer.
cmake --preset tsan
cmake --build --preset tsan -j"$jobs" --target parallel_instances_test lifecycle_soak_test
ctest --preset tsan -L soak

# The first two fuzz targets for a minute each, the others for half a minute
# (DRAVELKINT_FUZZ_SECONDS and DRAVELKINT_FUZZ_NEW_SECONDS set how long).
cmake --preset fuzz -DDRAVELKINT_FUZZ_SECONDS="${DRAVELKINT_FUZZ_SECONDS:-60}" \
  -DDRAVELKINT_FUZZ_NEW_SECONDS="${DRAVELKINT_FUZZ_NEW_SECONDS:-30}"
cmake --build --preset fuzz -j"$jobs"
ctest --preset fuzz
