#!/usr/bin/env bash
# The project's run command: installs what is missing, builds, and runs the program under Wine.
# There is no Kalvix device on a Linux machine, so the program runs beside the emulated
# KalvixCtrl.dll (build/emulated), which holds a software device. Arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir=${KALVIX_BUILD_DIR:-build}

program=kalvix_measure.exe

. scripts/wine-env.sh
KALVIX_OWN_DISPLAY=0 kalvix_wine_setup "$build_dir"
trap kalvix_wine_teardown EXIT
cd "$build_dir/emulated"
wine "./$program" "$@"
