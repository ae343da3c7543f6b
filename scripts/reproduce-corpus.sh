#!/usr/bin/env bash
# Every FAIL of a corpus run (scripts/validate-corpus.sh), put to the small
# hosts of our own that share no code with the tool: lv2-probe for LV2
# plug-ins, vst-probe for VST 2.4 ones. Each check is matched with the probe
# mode that looks for the same fault, and the table says whether the probe
# saw it too.
#
#   scripts/reproduce-corpus.sh [OUT]     OUT as the corpus run's (build/corpus-lv2)
#
# Writes OUT/reproduced.md: a row per FAIL line (check, plug-in, the probe's
# line, reproduced yes/no, or "not covered" where no mode looks for that
# fault), then the counts by check. Run it nice'd on a shared machine.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
out=${1:-build/corpus-lv2}
[ -d "$out/reports" ] || { echo "usage: $0 [OUT], OUT holding a corpus run's reports/" >&2; exit 2; }
table="$out/reproduced.md"
sizes=1,2,31,64,512,4096,16384

cache="$out/probe-cache"
rm -rf "$cache"
mkdir -p "$cache"

# A probe run once for the same arguments and settings, however many FAIL
# lines of a plug-in it answers: its lines, and its exit status.
cached() {
  local key code=0
  key=$(printf '%s\n' "$@" "${GLIBC_TUNABLES:-}" "${LV2_PROBE_SEED:-}" "${LV2_PROBE_TWO_BLOCK:-}" \
    "${LV2_PROBE_BARE:-}" "${VST_PROBE_TWO_BLOCK:-}" "${UNDER_MEMCHECK:-}" "${LD_PRELOAD:-}" | md5sum | cut -c1-32)
  if [ ! -f "$cache/$key.code" ]; then
    if [ -n "${UNDER_MEMCHECK:-}" ]; then
      memcheck "$cache/$key" "$@" >"$cache/$key.out" 2>/dev/null || code=$?
    else
      "$@" >"$cache/$key.out" 2>/dev/null || code=$?
    fi
    echo "$code" >"$cache/$key.code"
  fi
  cat "$cache/$key.out"
  return "$(cat "$cache/$key.code")"
}

# The probe under valgrind's memcheck: a fault that depends on what memory
# held before the plug-in wrote it shows as a decision or a read on memory
# never written, whatever the heap held. Answers 1 where one does.
memcheck() {
  local logs=$1 unwritten invalid first origin
  shift
  rm -f "$logs".vg.*
  valgrind --trace-children=yes --track-origins=yes --log-file="$logs.vg.%p" "$@" >/dev/null 2>&1 || true
  unwritten=$(cat "$logs".vg.* | grep -cE 'depends on uninitialised value|Use of uninitialised value' || true)
  invalid=$(cat "$logs".vg.* | grep -cE 'Invalid (read|write) of size' || true)
  if [ "$unwritten" = 0 ] && [ "$invalid" = 0 ]; then
    echo "under valgrind's memcheck: nothing read before it was written, no access out of bounds"
    return 0
  fi
  first=$(cat "$logs".vg.* | grep -m1 -A1 -E 'uninitialised value|Invalid (read|write) of size' |
    sed -n 's/^==[0-9]*==    at [^(]*(in \(.*\))$/\1/p' | head -n 1)
  origin=$(cat "$logs".vg.* | sed -n 's/^==[0-9]*==  Uninitialised value was created by a \(.*\)$/\1/p' | head -n 1)
  echo "under valgrind's memcheck: $unwritten uses of memory never written${origin:+ (made by a $origin)}," \
    "$invalid accesses out of bounds${first:+; the first in ${first##*/}}"
  return 1
}

# A rate check's rate, whole.
rate() {
  local hz=${1#grid.rate-}
  echo "${hz%.*}"
}

# The probe line for one FAIL, and its exit status: 1 where the fault shows.
probe() {
  local format=$1 check=$2 plugin=$3 message=$4 lv2Path=$5
  if [ "$format" = vst ]; then
    case $check in
      grid.rate-*) cached scripts/vst-probe.sh --rates "$(rate "$check")" "$plugin" ;;
      lifecycle.setup-states) cached scripts/vst-probe.sh --setup "$plugin" ;;
      grid.block-sizes)
        if [[ $message == *"never written"* ]]; then
          cached scripts/vst-probe.sh --unwritten "$sizes" "$plugin"
        else
          cached scripts/vst-probe.sh --blocks "$sizes" "$plugin" || return
          # The check's random blocks are shorter than the one announced.
          [[ $message != *"output reached"* ]] || cached scripts/vst-probe.sh --split 31 "$plugin"
        fi
        ;;
      grid.block-split) cached scripts/vst-probe.sh --split 441 "$plugin" ;;
      # Some faults show only when blocks vary in size: tried where whole ones show none.
      grid.two-instances) cached scripts/vst-probe.sh --two "$plugin" &&
        VST_PROBE_TWO_BLOCK=random cached scripts/vst-probe.sh --two "$plugin" ;;
      grid.zero-frames) cached scripts/vst-probe.sh --zero-frames "$plugin" ;;
      features.bypass) cached scripts/vst-probe.sh --bypass "$plugin" ;;
      parameters.*) cached scripts/vst-probe.sh --params "$plugin" ;;
      # Allocations are not counted there; a crash or exception in the calls is.
      realtime.parameter-allocations) [[ $message == *crashed* || $message == *threw* ]] || return 3
        cached scripts/vst-probe.sh --params "$plugin" ;;
      state.restore) cached scripts/vst-probe.sh --state "$plugin" ;;
      state.programs) cached scripts/vst-probe.sh --programs "$plugin" ;;
      *) return 3 ;;
    esac
    return
  fi
  local -x LV2_PATH=$lv2Path
  # An instance that hangs in instantiate after another was freed.
  if [[ $message == *"no answer within"*"in instantiate"* ]]; then
    cached scripts/lv2-probe.sh --two "$plugin"
    return
  fi
  # Output out of bounds at the default settings shows in any long run.
  if [[ $check =~ ^(grid\.zero-frames|transport\.|lifecycle\.(open-close|suspend-resume)|input\.) &&
    ($message == *"output reached"* || $message == *non-finite* || $message == *subnormal*) ]]; then
    cached scripts/lv2-probe.sh --rates 44100 "$plugin"
    return
  fi
  case $check in
    # The probe takes whole rates: 44123.45 is tried at 44123.
    grid.rate-*) cached scripts/lv2-probe.sh --rates "$(rate "$check")" "$plugin" ;;
    # The rates and blocks changed in one process, as the check does; the
    # locale check's rounds make the same changes.
    lifecycle.setup-states) cached scripts/lv2-probe.sh --setup "$plugin" ;;
    lifecycle.locale) [[ $message == *crashed* ]] || return 3
      cached scripts/lv2-probe.sh --setup "$plugin" ;;
    parameters.*) cached scripts/lv2-probe.sh --params "$plugin" ;;
    # Blocks of every size: a crash, NaN or loud output at one of them.
    grid.block-sizes)
      if [[ $message == *unwritten* ]]; then
        cached scripts/lv2-probe.sh --unwritten "$sizes" "$plugin"
      else
        cached scripts/lv2-probe.sh --blocks "$sizes" "$plugin"
      fi
      ;;
    grid.block-split) cached scripts/lv2-probe.sh --split 441 "$plugin" ;;
    # Some faults show only when blocks vary in size: tried where whole ones show none.
    grid.two-instances) cached scripts/lv2-probe.sh --two "$plugin" &&
      LV2_PROBE_TWO_BLOCK=random cached scripts/lv2-probe.sh --two "$plugin" ;;
    realtime.process-*) cached scripts/lv2-probe.sh --alloc "$plugin" ;;
    features.latency) cached scripts/lv2-probe.sh --latency "$plugin" ;;
    grid.in-place) cached scripts/lv2-probe.sh --in-place "$plugin" ;;
    # The rounds that free an instance never activated.
    lifecycle.open-close)
      if [[ $message == *"in cleanup"* ]]; then
        cached scripts/lv2-probe.sh --unactivated "$plugin"
      elif [[ $message == *"in run"* ]]; then
        cached scripts/lv2-probe.sh --blocks 256 "$plugin"
      else
        return 3
      fi
      ;;
    state.restore)
      local seed
      for seed in 1 2 3 4; do
        LV2_PROBE_SEED=$seed cached scripts/lv2-probe.sh --state "$plugin" || return
      done
      ;;
    # Made with no feature, as its data requires none.
    paper.required-features) [[ $message == *"requires none"* ]] || return 3
      LV2_PROBE_BARE=1 cached scripts/lv2-probe.sh "$plugin" | tee /dev/stderr | grep -qv ': rendered' || return 0
      return 1 ;;
    # What lilv reads of the manifest alone.
    paper.manifest) [[ $message == *"no lv2:binary"* ]] || return 3
      local bundle
      bundle=$(lv2info "$plugin" | sed -n 's|^[[:space:]]*Bundle:[[:space:]]*file://||p' | head -n 1)
      echo "lv2:binary statements in ${bundle}manifest.ttl for it: $(sordi -o ntriples "${bundle}manifest.ttl" |
        grep -cF "<$plugin> <http://lv2plug.in/ns/lv2core#binary>")"
      ! sordi -o ntriples "${bundle}manifest.ttl" | grep -qF "<$plugin> <http://lv2plug.in/ns/lv2core#binary>" || return 0
      return 1 ;;
    paper.extension-data) [[ $message =~ extension\ data\ ([^ ,]+),\ which\ it\ does\ not\ answer ]] || return 3
      cached scripts/lv2-probe.sh --extension-data "${BASH_REMATCH[1]}" "$plugin" ;;
    # What lilv's own lv2info reads of the plug-in's data.
    paper.ports) [[ $message =~ \((.+)\)\'s\ symbol\ is\ also ]] || return 3
      local symbol=${BASH_REMATCH[1]} count
      count=$(lv2info "$plugin" | grep -cE "^[[:space:]]*Symbol:[[:space:]]+${symbol}\$" || true)
      echo "lv2info: $count ports with the symbol $symbol"
      [ "$count" -gt 1 ] && return 1
      return 0 ;;
    paper.scale-points) [[ $message =~ ^port\ ([0-9]+)\  ]] || return 3
      lv2info "$plugin" | awk -v port="Port ${BASH_REMATCH[1]}:" '
        $1 " " $2 == port {inside = 1; next}
        inside && /^[[:space:]]*Port [0-9]+:/ {inside = 0}
        inside && /^[[:space:]]+-?[0-9.]+ = "/ {points[++n] = $1}
        inside && $1 == "Minimum:" {low = $2}
        inside && $1 == "Maximum:" {high = $2}
        END {
          for (i = 1; i <= n; ++i) if (points[i] + 0 < low + 0 || points[i] + 0 > high + 0) out = out " " points[i]
          printf "lv2info: %s, range %g to %g, scale points outside:%s\n", port, low, high, out == "" ? " none" : out
          exit out == "" ? 0 : 1
        }' ;;
    *) return 3 ;;
  esac
}

{
  echo "| check | plug-in | probe | reproduced |"
  echo "|---|---|---|---|"
} >"$table"
for report in "$out"/reports/*.txt; do
  header=$(head -n 1 "$report")
  plugin=$(sed -n 's/^Validating \([^ ]*\) .*/\1/p' <<<"$header")
  [ -n "$plugin" ] || continue
  format=lv2
  [[ $plugin == *.so ]] && format=vst
  # The LV2 path the corpus run used, from its list of plug-ins.
  lv2Path=$(awk -v p="$plugin" '$3==p {print $2; exit}' "$out/plugins.txt")
  { grep '^FAIL' "$report" || true; } | while read -r _ check message; do
    code=0
    line=$(probe "$format" "$check" "$plugin" "$message" "$lv2Path" 2>/dev/null | tail -n 1) || code=$?
    # A binary that leaves FFTW's symbols to its host loads only where the
    # host has the library already, as the tool does.
    if [[ $line == *"refused: instantiate returned no instance"* ]]; then
      code=0
      line=$(LD_PRELOAD=libfftw3f.so.3 probe "$format" "$check" "$plugin" "$message" "$lv2Path" \
        2>/dev/null | tail -n 1) || code=$?
      line="with libfftw3f loaded first, as in the tool: $line"
    fi
    # A fault that depends on what the heap held (memory read before it is
    # written) shows once new memory is filled with a pattern.
    if [ "$code" = 0 ]; then
      line=$(GLIBC_TUNABLES=glibc.malloc.perturb=165 probe "$format" "$check" "$plugin" "$message" "$lv2Path" \
        2>/dev/null | tail -n 1) || code=$?
      [ "$code" = 0 ] || line="with new heap memory filled: $line"
    fi
    if [ "$code" = 0 ] && command -v valgrind >/dev/null; then
      line=$(UNDER_MEMCHECK=1 probe "$format" "$check" "$plugin" "$message" "$lv2Path" 2>/dev/null | tail -n 1) ||
        code=$?
    fi
    case $code in
      1) verdict=yes ;;
      3) verdict="not covered" line="" ;;
      *) verdict=no ;;
    esac
    line=${line#"$plugin: "}
    printf '| %s | %s | %s | %s |\n' "$check" "$plugin" "${line//|/\\|}" "$verdict" >>"$table"
  done
done
{
  echo
  echo "| check | FAIL lines | reproduced | not reproduced | not covered |"
  echo "|---|---:|---:|---:|---:|"
  awk -F' \\| ' 'NR>2 && NF>=4 {c=$1; sub(/^\| /, "", c); r=$4; sub(/ \|$/, "", r)
      n[c]++; if (r=="yes") y[c]++; else if (r=="no") x[c]++; else u[c]++}
    END {for (c in n) printf "| %s | %d | %d | %d | %d |\n", c, n[c], y[c], x[c], u[c]}' "$table" | sort
} >>"$table.counts"
cat "$table.counts" >>"$table"
rm -f "$table.counts"
tail -n +1 "$table" | awk '/^\| check \| FAIL lines/,0'
