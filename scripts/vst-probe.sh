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
#     --setup           one instance through 96000/4096, 22050/4096, 22050/64,
#                       88200/64, 44100/1024, 48000/16 (rate/block), switched
#                       off and on between them, 4 blocks each
#     --params          all parameters at 0, at 1, each alone at 0 and 1
#                       (blocks of 512); then 2 s in blocks of 32 with 1 to 3
#                       set at random before each; an exception thrown out of
#                       a call is named
#     --state           4 draws of random settings saved (a bank chunk where
#                       programs are chunks, else parameter values), restored
#                       into a fresh instance: read and sound as saved?
#     --programs        each of the first 16 programs chosen: does
#                       effGetProgram answer it?
#     --zero-frames     50 blocks of 512, each followed by a call of 0 frames
#     --unwritten N,... as --blocks, outputs filled with a marker before each
#                       call: output samples processReplacing left unwritten
#
# A crash or hang names the call in progress and the two before it, and an
# abort quotes the last line the child wrote (the C library's complaint).
# VST_PROBE_SECONDS bounds each child's life (60); VST_PROBE_TIME_FLAGS adds
# bits to the time record's valid-field flags (tempo and position are set);
# VST_PROBE_SEED (1) seeds the random choices; VST_PROBE_TWO_BLOCK=random
# has --two cut its blocks at random sizes of 1 to 512 (512 announced).
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
