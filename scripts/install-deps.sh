#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# the machine lacks. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
  cmake make g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libsoxr-dev libfftw3-dev libpng-dev
  clang-14 clang-format-14 libclang-rt-14-dev valgrind
  nlohmann-json3-dev time
  xvfb libx11-dev
  lsp-plugins-vst lsp-plugins-lv2 zam-plugins x42-plugins
  lv2-dev liblilv-dev libsuil-dev lilv-utils serdi sordi
  dpkg-dev  # dpkg-shlibdeps, for scripts/package.sh and its test
  "$@"  # more, for scripts that need them (the corpus script's plug-ins)
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing from Debian's packages: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
