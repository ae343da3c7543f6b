#!/usr/bin/env bash
# Builds the benchmark preset (Release) and runs the benchmarks. The table at
# the end gives ns per stereo frame, the LV2 plug-in's ratio to the VST 2.4
# plug-in, the processor's ratio to the floor kernel and the cost of a
# subnormal tail against a steady signal.
# Extra arguments go to the benchmark, e.g.
#   scripts/bench.sh --benchmark_filter=rate:48000 --benchmark_repetitions=5
# On a busy machine, --benchmark_enable_random_interleaving=true spreads the
# load over the kinds being compared.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset bench >/dev/null
cmake --build --preset bench
exec build-bench/bench/dravelkint_bench --benchmark_counters_tabular=true "$@"
