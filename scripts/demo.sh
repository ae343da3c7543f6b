#!/usr/bin/env bash
# Builds the plug-in and the command-line host, then renders the demo.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRAVELKINT_TESTS=OFF
cmake --build build -j"$(nproc)"
build/dravelkint demo "${1:-dravelkint-demo.wav}" --overwrite
