#!/usr/bin/env bash
# Measures the render command: time and peak memory to render 1, 10 and 60
# minutes of stereo 44100 Hz 32-bit float WAV through the Dravelkint plug-in,
# in each of its formats, on one core. Peak memory should be the same for
# every length; the speed is reported as a multiple of real time.
#
#   scripts/bench-render.sh [BUILD_DIR]     (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build}
tool=$build/dravelkint
if [ ! -x "$tool" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j"$(nproc)" --target dravelkint >/dev/null
fi
[ -x /usr/bin/time ] || { echo "needs GNU time (package time)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

export LV2_PATH=$build/lib/lv2
printf '%-8s %-8s %10s %10s %12s %14s\n' format minutes "wall (s)" "user (s)" "x real time" "peak RSS (MB)"
for minutes in 1 10 60; do
  for format in vst2 lv2; do
    plugin=$build/dravelkint.so
    [ "$format" = lv2 ] && plugin=urn:sorpenwalde:dravelkint
    # The demo signal runs at 140 beats per minute: 35 bars a minute.
    "$tool" demo "$work/in.wav" --dry --bars $((minutes * 35)) --quiet --overwrite
    /usr/bin/time -f '%e %U %M' -o "$work/time.log" taskset -c 0 \
      "$tool" render "$work/in.wav" "$work/out.wav" --quiet --overwrite --plugin "$plugin" \
        --bpm 140 --set Period=1/8 --set "Freq 1=300" --set Q=4.0 --set Mix=50
    read -r wall user rss_kb < "$work/time.log"
    rss=$(awk -v k="$rss_kb" 'BEGIN {printf "%.1f", k / 1024}')
    speed=$(awk -v m="$minutes" -v w="$wall" 'BEGIN {printf "%.0f", m * 60 / w}')
    printf '%-8s %-8s %10s %10s %12s %14s\n' "$format" "$minutes" "$wall" "$user" "$speed" "$rss"
    rm -f "$work/in.wav" "$work/out.wav"
  done
done
