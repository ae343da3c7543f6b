#!/usr/bin/env bash
# A second opinion on VST 2.4 plug-ins from a small host of its own
# (scripts/vst-probe.cpp, which shares no code with the tool), built into
# build/vst-probe when missing or older than its source.
#
#   scripts/vst-probe.sh MODE LIBRARY...   one line per library, "LIBRARY: verdict";
#                                          exit 1 where the fault shows, 2 where
#                                          a library cannot be loaded
#     --split N         32768 frames in blocks of 4096 against blocks of N
#                       (4096 announced both times)
#     --two             two instances processing in turn against each alone
#     --blocks N,N,...  N announced, blocks of N then smaller, every buffer
#                       ending at a guard page (a crash, NaN/Inf, >1000)
#     --rates R,R,...   10 s of noise at each rate (the same)
#     --bypass          bypass switched on and off while processing
#
# VST_PROBE_SECONDS bounds each child's life (60); VST_PROBE_TIME_FLAGS adds
# bits to the time record's valid-field flags (tempo and position are set).
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
probe=$root/build/vst-probe
source=$root/scripts/vst-probe.cpp
if [ ! -x "$probe" ] || [ "$source" -nt "$probe" ]; then
  mkdir -p "$root/build"
  g++ -std=c++20 -O2 -Wall -Wextra -Wpedantic -o "$probe" "$source" -ldl
fi
exec "$probe" "$@"
