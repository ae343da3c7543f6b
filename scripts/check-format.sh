#!/usr/bin/env bash
# Fails, listing them, when any C++ file differs from .clang-format
# (clang-format 14, as Debian 12 ships it). Fix with:
#   git ls-files '*.cpp' '*.h' | xargs clang-format-14 -i
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.cpp' '*.h')
differing=()
for f in "${files[@]}"; do
  clang-format-14 --style=file "$f" | cmp -s - "$f" || differing+=("$f")
done
if [ ${#differing[@]} -ne 0 ]; then
  echo "These files differ from .clang-format (clang-format-14 -i FILE...):" >&2
  printf '  %s\n' "${differing[@]}" >&2
  exit 1
fi
echo "Formatting: ${#files[@]} C++ files match .clang-format"
