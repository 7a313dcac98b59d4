#!/usr/bin/env bash
# Configures and builds into ./build (cross build for 64-bit Windows) and the log tool natively
# into ./build/native (build/native/kalvix-log and its tests).
#   scripts/build.sh                          everything, the tests included
#   KALVIX_CROSS_TARGETS="t1 t2" KALVIX_NATIVE_TARGETS="t3" scripts/build.sh
#                                             only those targets of each build ("none": that build
#                                             is left out); scripts/run.sh builds just what it runs
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${KALVIX_BUILD_DIR:-build}
cross_targets=${KALVIX_CROSS_TARGETS:-all}
native_targets=${KALVIX_NATIVE_TARGETS:-all}

# ccache, when the machine has it, makes a rebuild of unchanged sources (another checkout, a clean
# build folder) a copy.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

build() {
  local dir=$1 targets=$2
  shift 2
  [ "$targets" = none ] && return 0
  cmake "$@" -B "$dir" -G "Unix Makefiles" "${launcher[@]}" >/dev/null
  if [ "$targets" = all ]; then
    cmake --build "$dir" -j2
  else
    # shellcheck disable=SC2086
    cmake --build "$dir" -j2 --target $targets
  fi
}
build "$build_dir" "$cross_targets" -S . -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
build "$build_dir/native" "$native_targets" -S tools -DCMAKE_BUILD_TYPE=RelWithDebInfo
