#!/usr/bin/env bash
# The operator guide's pictures, taken from an installed copy as an operator has it: makes the
# package (scripts/package.sh without its check), installs it silently into a Wine prefix of its
# own (<build>/guide-pictures, user "operator") at the default place, C:\Program Files\Kalvix, and
# runs the picture session (examples/panel_demo.cpp) against the installed demo panel with the
# log folder Documents\Kalvix of that user. The pictures go to docs/images/.
#   scripts/guide-pictures.sh [setup.exe]   (scripts/run.sh guide runs it; with a setup program
#                                           made before, that one is installed)
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -n "${1:-}" ]; then
  setup=$(realpath "$1")
else
  setup=$(KALVIX_PACKAGE_CHECK=0 scripts/package.sh | grep -- '-setup\.exe$')
fi
build_dir=$(cd "${KALVIX_BUILD_DIR:-build}" && pwd)
KALVIX_CROSS_TARGETS=panel_demo KALVIX_NATIVE_TARGETS=none scripts/build.sh

work="$build_dir/guide-pictures"
rm -rf "$work"
mkdir -p "$work"
# Wine names the prefix's user profile after USER: the pictures show an operator's paths.
export USER=operator
. scripts/wine-env.sh
KALVIX_OWN_DISPLAY=1 kalvix_wine_setup "$work"
trap kalvix_wine_teardown EXIT

wine "$setup" /S </dev/null >"$work/setup.out" 2>&1
install_dir="$WINEPREFIX/drive_c/Program Files/Kalvix"
[ -f "$install_dir/demo/OstrelControlPanel.exe" ] || { echo "the setup program installed no demo panel" >&2; exit 1; }
documents=$(wine cmd /c 'echo %USERPROFILE%\Documents' </dev/null 2>/dev/null | tr -d '\r')
logs="$documents\\Kalvix"
logs_unix=$(winepath -u "$logs")
mkdir -p "$logs_unix"

# panel_demo starts the panel beside itself: for the session it lies in the installed demo folder.
# It starts in Documents, as the Start-menu shortcuts do.
cp "$build_dir/emulated/panel_demo.exe" "$install_dir/demo/"
status=0
(cd "$(winepath -u "$documents")" && wine "$install_dir/demo/panel_demo.exe" "$logs" 3 guide) </dev/null >"$work/steps.txt" 2>&1 || status=$?
rm -f "$install_dir/demo/panel_demo.exe"
sed 's/^/  /' "$work/steps.txt"
[ "$status" = 0 ] || { echo "the picture session failed (exit code $status)" >&2; exit 1; }

mkdir -p docs/images
for picture in save_dialog afe_read afe_missing status_error configuration_view i2c_window main_window; do
  target=$picture
  [ "$picture" = main_window ] && target=main_measuring
  convert "$logs_unix/$picture.bmp" "docs/images/$target.png"
done
echo "The operator guide's pictures (installed demo panel, log folder $logs) are in docs/images/."
