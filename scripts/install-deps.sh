#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when something is missing, and the
# live view page's npm packages (uPlot, built into kalvix-log; puppeteer-core for its browser tests,
# which drive Debian's chromium) with `npm ci` from its lock file, when they are missing or the lock
# file changed.
#   scripts/install-deps.sh        the cross build, Wine, the test run and the package (pandoc makes
#                                  the package's HTML guides)
#   scripts/install-deps.sh fuzz   also clang with its sanitizer and libFuzzer runtimes (scripts/fuzz.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

packages=(
  cmake make g++
  g++-mingw-w64-x86-64-posix mingw-w64-tools binutils-mingw-w64-x86-64
  googletest
  wine wine64
  xvfb xauth x11-utils imagemagick
  fonts-liberation fonts-wine
  nsis unzip pandoc
  libeigen3-dev libboost-math-dev libstb-dev fonts-dejavu-core
  libfmt-dev nlohmann-json3-dev libboost-dev
  chromium
)
# npm for the page's packages; a machine with Node.js from elsewhere (its own npm) is left as it is.
command -v npm >/dev/null || packages+=(nodejs npm)
if [ "${1:-}" = fuzz ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -ne 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
fi

# npm ci leaves node_modules/.package-lock.json behind: newer than the lock file while they agree.
page="$root/tools/kalvix-log/live-page"
if [ ! -f "$page/node_modules/.package-lock.json" ] || [ "$page/package-lock.json" -nt "$page/node_modules/.package-lock.json" ]; then
  echo "Installing the live view page's npm packages (npm ci in $page)"
  (cd "$page" && npm ci --no-audit --no-fund </dev/null)
fi
