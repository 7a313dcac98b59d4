#!/usr/bin/env bash
# Configures and builds everything into ./build (cross build for 64-bit Windows).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${KALVIX_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -G "Unix Makefiles" >/dev/null
cmake --build "$build_dir" -j2
