#!/usr/bin/env bash
# Runs one program under Wine with the display at a given DPI on a virtual screen of a given size:
# a prefix of its own inside the build folder (dpi-<dpi>-<screen>/, copied from the build folder's
# prefix when there is one, else made), its own Xvfb and wineserver, both stopped afterwards.
#   scripts/wine-at-dpi.sh <build dir> <dpi> <width>x<height> <program> [arguments...]
# The program's exit code is the script's.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build_dir=$(cd "$1" && pwd)
dpi=$2
screen=$3
shift 3
dpi_dir="$build_dir/dpi-$dpi-$screen"
mkdir -p "$dpi_dir"
if [ ! -f "$dpi_dir/wineprefix/system.reg" ] && [ -f "$build_dir/wineprefix/system.reg" ]; then
  cp -a "$build_dir/wineprefix" "$dpi_dir/wineprefix"
fi
. "$here/wine-env.sh"
export KALVIX_OWN_DISPLAY=1 KALVIX_SCREEN_SIZE=$screen KALVIX_LOG_PIXELS=$dpi
kalvix_wine_setup "$dpi_dir"
trap kalvix_wine_teardown EXIT
wine "$@"
