#!/usr/bin/env bash
# The project's test command: installs what is missing, builds, then runs every test under Wine
# with a virtual screen and a persistent wineserver.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
build_dir=${KALVIX_BUILD_DIR:-build}

# The log tool's tests natively first (they need no Wine); the same tests run under Wine below.
ctest --test-dir "$build_dir/native" --output-on-failure --timeout 900 "$@"

. scripts/wine-env.sh
kalvix_wine_setup "$build_dir"
trap kalvix_wine_teardown EXIT
ctest --test-dir "$build_dir" --output-on-failure --timeout 900 "$@"

# The Windows package, made and checked (install, uninstall) in a Wine prefix of its own:
# a package that cannot be made or does not install cleanly fails the run.
kalvix_wine_teardown
trap - EXIT
scripts/package.sh

# A short run of every fuzz target (native, with sanitizers), after the tests have passed.
# KALVIX_FUZZ_SECONDS sets the seconds per target; 0 leaves the fuzz run out.
fuzz_seconds=${KALVIX_FUZZ_SECONDS:-10}
if [ "$fuzz_seconds" != 0 ]; then
  scripts/fuzz.sh "$fuzz_seconds"
fi
