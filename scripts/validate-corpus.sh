#!/usr/bin/env bash
# Validates every plug-in of Debian's plug-in packages, one at a time, and
# writes one summary table: plug-in, counts, time, the checks that failed.
# Installs the packages (and Xvfb, for the editors) when they are missing.
#
#   scripts/validate-corpus.sh [OUT]        VST 2.4 (default OUT build/corpus)
#   scripts/validate-corpus.sh --lv2 [OUT]  LV2 (default OUT build/corpus-lv2)
#
# OUT/reports/ keeps each plug-in's report, OUT/summary.md the table. Run it
# nice'd on a shared machine: nice -n 19 scripts/validate-corpus.sh
# DRAVELKINT names the executable (default build/dravelkint, built if
# missing), STRICTNESS and SEED the run (default 5 and 1), TIMEOUT the
# seconds each plug-in may take (3600). For a quick try on a subset, MATCH
# keeps the lines of OUT/plugins.txt (package, LV2 path or "-", the plug-in's
# path or URI) that match an extended regular expression, LIMIT the first N;
# ONLY names the groups to run (as validate's --only).
set -euo pipefail
# printf's %.1f and bc want a decimal point, whatever the user's locale.
export LC_ALL=C
cd "$(dirname "$0")/.."

format=vst
if [ "${1:-}" = --lv2 ]; then
  format=lv2
  shift
fi
vstPackages=(lsp-plugins-vst dpf-plugins-vst dragonfly-reverb-vst iem-plugin-suite-vst zam-plugins amsynth zynaddsubfx-vst)
lv2Packages=(lsp-plugins-lv2 x42-plugins calf-plugins zam-plugins dpf-plugins-lv2 dragonfly-reverb-lv2 swh-lv2 mda-lv2
  invada-studio-plugins-lv2 fomp blop-lv2 guitarix-lv2 eq10q ardour-lv2-plugins)
if [ $format = vst ]; then
  scripts/install-deps.sh "${vstPackages[@]}" xvfb binutils bc
else
  scripts/install-deps.sh "${lv2Packages[@]}" lilv-utils sordi bc
fi

tool=${DRAVELKINT:-build/dravelkint}
if [ ! -x "$tool" ]; then
  cmake --preset default
  cmake --build --preset default --target dravelkint -j2
fi
out=${1:-build/corpus$([ $format = vst ] || echo -lv2)}
mkdir -p "$out/reports"
strictness=${STRICTNESS:-5}
seed=${SEED:-1}
limit=${TIMEOUT:-3600}
only=()
[ -z "${ONLY:-}" ] || only=(--only "$ONLY")

# One line a plug-in: its package, where lilv looks for it (LV2 only, "-"
# for VST 2.4) and its path or URI.
list="$out/plugins.txt"
: >"$list"
if [ $format = vst ]; then
  # Every library of the packages that exports an entry point (the IEM suite
  # installs under the multiarch library folder, zam also ships VST3 files).
  for p in "${vstPackages[@]}"; do
    dpkg -L "$p" | grep '\.so$' | sort | while read -r f; do
      [ -f "$f" ] || continue
      if nm -D --defined-only "$f" 2>/dev/null | awk '$3=="VSTPluginMain"||$3=="main"{found=1} END{exit !found}'; then
        echo "$p - $f" >>"$list"
      fi
    done
  done
else
  # The plug-ins lilv finds in the packages' bundles: each bundle's manifest
  # names its URIs, lv2ls says which of them lilv loads. The standard
  # folders come after a bundle's own where a package installs elsewhere.
  standard=${HOME:-}/.lv2:/usr/local/lib/lv2:/usr/lib/lv2
  for p in "${lv2Packages[@]}"; do
    dpkg -L "$p" | grep '/manifest\.ttl$' | sort | while read -r manifest; do
      bundle=$(dirname "$manifest")
      folder=$(dirname "$bundle")
      case ":$standard:" in *":$folder:"*) path=$standard ;; *) path=$folder:$standard ;; esac
      sordi -o ntriples "$manifest" "file://$bundle/" 2>/dev/null |
        awk -v p="$p" -v path="$path" '$2=="<http://www.w3.org/1999/02/22-rdf-syntax-ns#type>" &&
          $3=="<http://lv2plug.in/ns/lv2core#Plugin>" {u=$1; gsub(/^<|>$/, "", u); print p, path, u}'
    done
  done | sort -u -k3,3 >"$list.declared"
  cut -d' ' -f2 "$list.declared" | sort -u | while read -r path; do
    LV2_PATH=$path lv2ls 2>/dev/null
  done | sort -u >"$list.found"
  awk 'NR==FNR {found[$1]=1; next} found[$3]' "$list.found" "$list.declared" >"$list"
  rm -f "$list.declared" "$list.found"
fi
if [ -n "${MATCH:-}" ]; then
  grep -E -- "$MATCH" "$list" >"$list.subset" || true
  mv "$list.subset" "$list"
fi
if [ -n "${LIMIT:-}" ]; then
  head -n "$LIMIT" "$list" >"$list.subset"
  mv "$list.subset" "$list"
fi

table="$out/summary.md"
{
  echo "| package | plug-in | PASS | FAIL | WARN | SKIP | seconds | exit | failed checks |"
  echo "|---|---|---:|---:|---:|---:|---:|---:|---|"
} >"$table"
started=$(date +%s)
while read -r package lv2Path plugin; do
  if [ $format = vst ]; then
    name=$(basename "$plugin" .so)
    file=$package-$name
  else
    name=$plugin
    file=$package-$(printf '%s' "$plugin" | tr -c 'A-Za-z0-9._-' '_')
  fi
  report="$out/reports/$file.txt"
  begin=$(date +%s.%N)
  code=0
  if [ $format = vst ]; then
    timeout "$limit" "$tool" validate --plugin "$plugin" --strictness "$strictness" --seed "$seed" "${only[@]}" \
      >"$report" 2>"$out/reports/$file.err" </dev/null || code=$?
  else
    LV2_PATH=$lv2Path timeout "$limit" "$tool" validate --plugin "$plugin" --strictness "$strictness" --seed "$seed" \
      "${only[@]}" >"$report" 2>"$out/reports/$file.err" </dev/null || code=$?
  fi
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
