#!/usr/bin/env bash
# A second opinion on LV2 plug-ins from a small host of its own
# (scripts/lv2-probe*.cpp, which share no code with the tool), built into
# build/lv2-probe when missing or older than its sources.
#
#   scripts/lv2-probe.sh URI...             one line per URI: "URI: verdict"
#   scripts/lv2-probe.sh MODE URI...        one run-time fault looked for, one
#                                           line per URI; exit 1 where it shows:
#     --blocks N,N,...  noise in blocks of each size (a crash, NaN/Inf, >1000,
#                       subnormal output)
#     --rates R,R,...   10 s of noise at each rate (the same)
#     --latency         an impulse's delay against the reported latency
#     --in-place        outputs on the inputs against separate buffers
#     --state           a saved random setting restored into a fresh instance
#     --alloc           allocations and calls that may block (locks,
#                       semaphores, sleeps, file reads and writes) in run()
#                       against lv2:hardRTCapable
#     --two             two instances in turn, block by block, against each
#                       alone (in fresh processes, to tell chance from sharing)
#     --split N         blocks of N (at most 4096) where 4096 were announced
#                       against whole blocks: largest difference, whether it
#                       clusters at multiples of N, whether it lasts past 4096
#     --unwritten N,... outputs left holding a marker written before each run,
#                       at each block size and at random sizes below 4096
#     --unactivated     in turn, ten times: an instance through its life, and
#                       one made and freed without activating it
#     --setup           in one process, rate and largest block changed with
#                       processing off (96000/4096, 22050/4096, 22050/64,
#                       88200/64, 44100/1024, 48000/16, then the last two in
#                       turn ten more times), a new instance where the rate
#                       changes or the block grows: a crash or hang named with
#                       the change, NaN/Inf, >1000
#     --params          control inputs at their minimum and maximum (all,
#                       then each alone), and 1 to 3 random ones changed
#                       before every block of 32 for 2 s: a crash or hang
#                       named with the last three changes, NaN/Inf (its first
#                       frame), >1000
#     --extension-data URI,URI,...
#                       whether extension_data answers each; a fault where
#                       the plug-in declares one as lv2:extensionData and it
#                       answers null
#   scripts/lv2-probe.sh --compare SUMMARY  every row of scripts/sweep-lv2.sh's
#                                           table that did not render, probed,
#                                           and whether the probe agrees
#
# The probe honours LV2_PATH; LV2_PROBE_SECONDS bounds each plug-in's life (30),
# LV2_PROBE_SEED seeds --state's random setting, --unwritten's sizes and
# --params' changes (1),
# LV2_PROBE_TWO_BLOCK sets --two's block (512, or "random" up to 4096),
# LV2_PROBE_BARE offers the plug-in no feature at all.
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "$0")/.." && pwd)
probe=$root/build/lv2-probe
sources=("$root"/scripts/lv2-probe*.cpp)
if [ ! -x "$probe" ] || [ -n "$(find "${sources[@]}" "$root"/scripts/lv2-probe*.h -newer "$probe")" ]; then
  mkdir -p "$root/build"
  # shellcheck disable=SC2046 # pkg-config's words are meant to split
  # -rdynamic: the plug-ins' allocations and blocking calls go through the
  # probe's own.
  g++ -std=c++20 -O2 -Wall -Wextra -Wpedantic -rdynamic -o "$probe" "${sources[@]}" $(pkg-config --cflags --libs lilv-0)
fi

if [ "${1:-}" != --compare ]; then
  [ $# -gt 0 ] || { echo "usage: $0 [MODE] URI... | --compare SUMMARY" >&2; exit 2; }
  exec "$probe" "$@"
fi
summary=${2:?usage: $0 --compare SUMMARY}

# The rows that did not render: URI, outcome, reason (its escaped bars kept).
rows=$(awk -F'|' '/^\| / && $2 !~ /^ *(package|-+) *$/ {
    line = $0; gsub(/\\\|/, "\001", line); n = split(line, f, "|")
    for (i = 1; i <= n; i++) { gsub(/^ +| +$/, "", f[i]); gsub("\001", "\\|", f[i]) }
    if (f[6] != "rendered") print f[3] "\t" f[6] "\t" f[8]
  }' "$summary")
[ -n "$rows" ] || { echo "no row of $summary is other than rendered"; exit 0; }

declare -A verdict
while IFS= read -r line; do
  verdict[${line%%: *}]=${line#*: }
done < <(cut -f1 <<<"$rows" | xargs "$probe" 2>/dev/null)

# The URIs a text names, but the plug-in's own.
uris() { grep -oE "[a-z][a-z0-9+.-]*:[^ ,;'\"()]*[^ ,;'\".()]" <<<"$2" | grep -vxF "$1" | sort -u || true; }
# The call a crash message names: "in run(512 frames)", "after its last call, work".
call() {
  grep -oE "(in|call,) (state restore|work_response|end_run|extension_data|connect_port|instantiate|deactivate|activate|cleanup|work|run)\b" <<<"$1" |
    head -n 1 | sed -E 's/^(in|call,) //' || true
}

echo "| plug-in | tool | tool's reason | probe | reproduced |"
echo "|---|---|---|---|---|"
yes=0 total=0
while IFS=$'\t' read -r uri outcome reason; do
  probed=${verdict[$uri]:-not probed}
  same=no
  case $outcome in
    refused)
      if [[ $probed == refused* ]]; then
        tool_uris=$(uris "$uri" "$reason")
        probe_uris=$(uris "$uri" "$probed")
        if [ -n "$tool_uris" ] && [ "$tool_uris" = "$probe_uris" ]; then same=yes; fi
        if [ -z "$tool_uris$probe_uris" ] && [[ $reason == *instantiate* && $probed == *instantiate* ]]; then same=yes; fi
      fi
      ;;
    "crashed (caught)")
      named=$(call "$reason")
      if [ -n "$named" ] && [[ $probed == "crashed in $named ("* ]]; then same=yes; fi
      ;;
    hung) [[ $probed == hung* ]] && same=yes ;;
  esac
  case $reason in
    *"cannot process a file"*) [[ $probed == *"no audio input"* || $probed == *"no audio output"* ]] && same=yes ;;
    *"louder than +100 dBFS"*) [[ $probed == *"louder than +100 dBFS"* ]] && same=yes ;;
    *"not numbers"*) [[ $probed == *NaN/Inf* ]] && same=yes ;;
  esac
  total=$((total + 1))
  [ $same = no ] || yes=$((yes + 1))
  printf '| %s | %s | %s | %s | %s |\n' "$uri" "$outcome" "$reason" "${probed//|/\\|}" "$same"
done <<<"$rows"
echo
echo "$yes of $total reproduced."
