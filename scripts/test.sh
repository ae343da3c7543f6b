#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build -j"$jobs" --output-on-failure

# The whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
cmake --preset asan-ubsan
cmake --build --preset asan-ubsan -j"$jobs"
ctest --preset asan-ubsan -j"$jobs"

# Eight instances processing at once, under ThreadSanitizer.
cmake --preset tsan
cmake --build --preset tsan -j"$jobs" --target parallel_instances_test lifecycle_soak_test
ctest --preset tsan -L soak

# Each fuzz target for a minute (DRAVELKINT_FUZZ_SECONDS sets how long).
cmake --preset fuzz -DDRAVELKINT_FUZZ_SECONDS="${DRAVELKINT_FUZZ_SECONDS:-60}"
cmake --build --preset fuzz -j"$jobs"
ctest --preset fuzz
