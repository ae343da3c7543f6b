#!/usr/bin/env bash
# Validates every VST 2.4 plug-in of Debian's plug-in packages, one at a time,
# and writes one summary table: plug-in, counts, time, the checks that failed.
# Installs the packages (and Xvfb, for the editors) when they are missing.
#
#   scripts/validate-corpus.sh [OUT]      (default build/corpus)
#
# OUT/reports/ keeps each plug-in's report, OUT/summary.md the table. Run it
# nice'd on a shared machine: nice -n 19 scripts/validate-corpus.sh
# DRAVELKINT names the executable (default build/dravelkint, built if
# missing), STRICTNESS and SEED the run (default 5 and 1).
set -euo pipefail
# printf's %.1f and bc want a decimal point, whatever the user's locale.
export LC_ALL=C
cd "$(dirname "$0")/.."

scripts/install-deps.sh lsp-plugins-vst dpf-plugins-vst dragonfly-reverb-vst iem-plugin-suite-vst zam-plugins \
  amsynth zynaddsubfx-vst xvfb binutils bc

tool=${DRAVELKINT:-build/dravelkint}
if [ ! -x "$tool" ]; then
  cmake --preset default
  cmake --build --preset default --target dravelkint -j2
fi
out=${1:-build/corpus}
mkdir -p "$out/reports"
strictness=${STRICTNESS:-5}
seed=${SEED:-1}

# Every library of the packages that exports an entry point (the IEM suite
# installs under the multiarch library folder, zam also ships VST3 files).
list="$out/plugins.txt"
: >"$list"
for p in lsp-plugins-vst dpf-plugins-vst dragonfly-reverb-vst iem-plugin-suite-vst zam-plugins amsynth zynaddsubfx-vst; do
  dpkg -L "$p" | grep '\.so$' | sort | while read -r f; do
    [ -f "$f" ] || continue
    if nm -D --defined-only "$f" 2>/dev/null | awk '$3=="VSTPluginMain"||$3=="main"{found=1} END{exit !found}'; then
      echo "$p $f" >>"$list"
    fi
  done
done

table="$out/summary.md"
{
  echo "| package | plug-in | PASS | FAIL | WARN | SKIP | seconds | exit | failed checks |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---|"
} >"$table"
started=$(date +%s)
while read -r package path; do
  name=$(basename "$path" .so)
  report="$out/reports/$package-$name.txt"
  begin=$(date +%s.%N)
  code=0
  timeout 3600 "$tool" validate --plugin "$path" --strictness "$strictness" --seed "$seed" \
    >"$report" 2>"$out/reports/$package-$name.err" </dev/null || code=$?
  seconds=$(echo "$(date +%s.%N) - $begin" | bc)
  counts=$(sed -n 's/^Summary: [0-9]* checks, \([0-9]*\) PASS, \([0-9]*\) FAIL, \([0-9]*\) WARN, \([0-9]*\) SKIP.*/\1 | \2 | \3 | \4/p' "$report")
  [ -n "$counts" ] || counts="- | - | - | -"
  failed=$(awk '$1=="FAIL"{printf "%s%s", sep, $2; sep=", "}' "$report")
  printf '| %s | %s | %s | %.1f | %s | %s |\n' "$package" "$name" "$counts" "$seconds" "$code" "$failed" >>"$table"
  echo "$name: exit $code, $(printf '%.1f' "$seconds") s" >&2
done <"$list"

total=$(($(date +%s) - started))
plugins=$(wc -l <"$list")
failedPlugins=$(awk -F'|' 'NR>2 && $9+0==7' "$table" | wc -l)
cutShortPlugins=$(awk -F'|' 'NR>2 && $9+0==8' "$table" | wc -l)
sums=$(awk -F'|' 'NR>2{p+=$4; f+=$5; w+=$6; s+=$7} END{printf "%d PASS, %d FAIL, %d WARN, %d SKIP", p, f, w, s}' "$table")
{
  echo
  echo "$plugins plug-ins, $failedPlugins with validation FAILED, $cutShortPlugins cut short;" \
    "checks: $sums; $total s in all" \
    "(strictness $strictness, seed $seed)."
} >>"$table"
tail -n 1 "$table"
