#!/usr/bin/env bash
# Builds the plug-in and the command-line host, then renders the demo. The
# build folder is configured as scripts/test.sh configures it (the default
# preset), so either command can run first; only the two targets the demo
# needs are built.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset default
cmake --build --preset default -j"$(nproc)" --target dravelkint dravelkint_plugin
build/dravelkint demo "${1:-dravelkint-demo.wav}" --overwrite
