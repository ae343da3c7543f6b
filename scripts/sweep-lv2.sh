#!/usr/bin/env bash
# Puts every LV2 plug-in of Debian's LV2 packages through `dravelkint info`
# and `dravelkint render`, one at a time, and writes one table: plug-in, its
# audio inputs and outputs, and whether it rendered, was refused (and why),
# crashed in a call the tool caught (exit 6), or took the tool down.
# Installs the packages when they are missing.
#
#   scripts/sweep-lv2.sh [OUT]      (default build/lv2-sweep)
#
# OUT/logs/ keeps each plug-in's messages, OUT/summary.md the table.
# DRAVELKINT names the executable (default build/dravelkint, built if
# missing); BLOCK the render's block size (default 512).
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

packages=(lsp-plugins-lv2 x42-plugins calf-plugins zam-plugins dpf-plugins-lv2 dragonfly-reverb-lv2 swh-lv2 mda-lv2
  invada-studio-plugins-lv2 fomp blop-lv2 guitarix-lv2 eq10q ardour-lv2-plugins)
scripts/install-deps.sh "${packages[@]}" sordi

tool=${DRAVELKINT:-build/dravelkint}
if [ ! -x "$tool" ]; then
  cmake --preset default
  cmake --build --preset default --target dravelkint -j2
fi
out=${1:-build/lv2-sweep}
mkdir -p "$out/logs"
block=${BLOCK:-512}
# The standard folders, after the bundle's own where a package installs
# elsewhere (a folder named twice makes lilv warn of every plug-in in it).
lv2_path=$HOME/.lv2:/usr/local/lib/lv2:/usr/lib/lv2
pathFor() {
  case ":$lv2_path:" in
    *":$(dirname "$1"):"*) echo "$lv2_path" ;;
    *) echo "$(dirname "$1"):$lv2_path" ;;
  esac
}
"$tool" demo --dry --bars 2 --overwrite -q "$out/in.wav"
# Plug-ins with one main input are given the same music in mono: its left
# channel, through Dravelkint with nothing of the wobble mixed in.
"$tool" render "$out/in.wav" "$out/in-mono.wav" --set Mix=0 --channels 1 --overwrite -q

# Every plug-in the packages' bundles declare, with its package.
list="$out/plugins.txt"
: >"$list"
for p in "${packages[@]}"; do
  dpkg -L "$p" | grep '/manifest\.ttl$' | sort | while read -r manifest; do
    bundle=$(dirname "$manifest")
    sordi -o ntriples "$manifest" "file://$bundle/" 2>/dev/null |
      awk -v p="$p" -v b="$bundle" '$2=="<http://www.w3.org/1999/02/22-rdf-syntax-ns#type>" &&
        $3=="<http://lv2plug.in/ns/lv2core#Plugin>" {u=$1; gsub(/^<|>$/, "", u); print p, b, u}'
  done
done | sort -u -k3,3 >"$list"

table="$out/summary.md"
{
  echo "| package | plug-in | in | out | outcome | exit | reason |"
  echo "|---|---|---:|---:|---|---:|---|"
} >"$table"
started=$(date +%s)
while read -r package bundle uri; do
  log="$out/logs/$(echo "$uri" | tr -c 'A-Za-z0-9._-' '_')"
  inputs=-
  outputs=-
  code=0
  # The plug-in's own data, through lilv, says how many channels it has; the
  # tool's info would open it, which the render below does as well.
  LV2_PATH="$(pathFor "$bundle")" timeout 60 "$tool" info "$uri" --json >"$log.info" 2>"$log.info.err" </dev/null ||
    code=$?
  if [ "$code" -eq 0 ]; then
    inputs=$(sed -n 's/^  "inputs": \([0-9]*\),$/\1/p' "$log.info")
    outputs=$(sed -n 's/^  "outputs": \([0-9]*\),$/\1/p' "$log.info")
    code=0
    # Side-chain inputs are left silent; the file feeds the others.
    sidechains=$(awk '/"sidechainInputs": \[\]/ {exit} /"sidechainInputs"/ {on=1; next} on && /\]/ {exit}
      on {n++} END {print n+0}' "$log.info")
    input=$out/in.wav
    [ $((inputs - sidechains)) = 1 ] && input=$out/in-mono.wav
    LV2_PATH="$(pathFor "$bundle")" timeout 300 "$tool" render "$input" "$out/out.wav" --plugin "$uri" \
      --block "$block" --overwrite -q >"$log.out" 2>"$log.err" </dev/null || code=$?
    reason=$(grep -m 1 '^dravelkint:' "$log.err" || head -n 1 "$log.err")
  else
    reason=$(grep -m 1 '^dravelkint:' "$log.info.err" || head -n 1 "$log.info.err")
  fi
  case $code in
    0) outcome=rendered ;;
    5) outcome=refused ;;
    6) outcome="crashed (caught)" ;;
    124) outcome="hung" ;;
    *) if [ "$code" -ge 128 ]; then outcome="TOOL CRASHED"; else outcome="failed"; fi ;;
  esac
  reason=${reason//|/\\|}
  printf '| %s | %s | %s | %s | %s | %s | %s |\n' "$package" "$uri" "$inputs" "$outputs" "$outcome" "$code" \
    "${reason:0:160}" >>"$table"
  echo "$uri: $outcome ($code)" >&2
done <"$list"

total=$(($(date +%s) - started))
{
  echo
  echo "$(wc -l <"$list") plug-ins in $total s:" \
    "$(awk -F'|' 'NR>2 && NF>7 {gsub(/^ +| +$/, "", $6); n[$6]++}
      END {for (o in n) {printf "%s%d %s", sep, n[o], o; sep=", "}}' "$table")."
} >>"$table"
tail -n 1 "$table"
