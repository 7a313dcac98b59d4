#!/usr/bin/env bash
# Configures and builds everything into ./build (cross build for 64-bit Windows) and the log tool
# natively into ./build/native (build/native/kalvix-log and its tests).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${KALVIX_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -G "Unix Makefiles" >/dev/null
cmake --build "$build_dir" -j2
cmake -S tools -B "$build_dir/native" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir/native" -j2
