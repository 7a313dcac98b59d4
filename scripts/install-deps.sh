#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when something is missing.
#   scripts/install-deps.sh        the cross build, Wine, the test run and the package
#   scripts/install-deps.sh fuzz   also clang with its sanitizer and libFuzzer runtimes (scripts/fuzz.sh)
set -euo pipefail

packages=(
  cmake make g++
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  googletest
  wine wine64
  xvfb xauth x11-utils imagemagick
  fonts-liberation fonts-wine
  nsis unzip
  libeigen3-dev libboost-math-dev libstb-dev fonts-dejavu-core
  libfmt-dev nlohmann-json3-dev
)
if [ "${1:-}" = fuzz ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
$sudo_cmd apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
