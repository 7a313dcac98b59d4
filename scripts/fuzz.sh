#!/usr/bin/env bash
# Builds the fuzz targets natively with AddressSanitizer and UndefinedBehaviorSanitizer (libFuzzer
# when clang has it, else a plain random driver) and runs each for the given seconds (default 20).
#   scripts/fuzz.sh [seconds] [target...]
# Each target keeps what it has learnt in <build>/fuzz/corpus/<target>; a finding stops the run,
# leaves its input in <build>/fuzz/findings/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [whole seconds per target] [target...]" >&2
  exit 2
fi
build_dir=${KALVIX_BUILD_DIR:-build}/fuzz
scripts/install-deps.sh fuzz

engine=random
compiler=g++
if command -v clang++ >/dev/null 2>&1 &&
   echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
   clang++ -x c++ -fsanitize=fuzzer,address,undefined -o /dev/null - >/dev/null 2>&1; then
  engine=libfuzzer
  compiler=clang++
fi
cmake -S fuzz -B "$build_dir" -DCMAKE_CXX_COMPILER="$compiler" -DKALVIX_FUZZ_ENGINE=$engine \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(frames ring afe_record spline config_parse version log_format log_reader csv_spectrum circuit font instrument_table)
cmake --build "$build_dir" -j2 --target "${targets[@]/#/fuzz_}" >/dev/null
mkdir -p "$build_dir/findings"
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for target in "${targets[@]}"; do
  corpus="$build_dir/corpus/$target"
  mkdir -p "$corpus"
  args=(-max_total_time="$seconds")
  if [ $engine = libfuzzer ]; then
    args+=(-print_final_stats=1 -artifact_prefix="$build_dir/findings/$target-" -rss_limit_mb=1024)
    [ -f "fuzz/dictionaries/$target.dict" ] && args+=(-dict="fuzz/dictionaries/$target.dict")
  fi
  log="$build_dir/$target.log"
  if "$build_dir/fuzz_$target" "${args[@]}" "$corpus" >"$log" 2>&1; then
    if [ $engine = libfuzzer ]; then
      runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
      cover=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
      echo "$target: ok, $runs inputs in ${seconds}s ($engine, $cover, corpus $(ls "$corpus" | wc -l))"
    else
      echo "$target: ok, $(grep -o 'Done [0-9]* runs' "$log" | grep -o '[0-9]*') inputs in ${seconds}s ($engine)"
    fi
  else
    echo "$target: FINDING, see $log"
    grep -E 'check failed|ERROR: AddressSanitizer|runtime error' "$log" | head -3 || true
    status=1
  fi
done
exit $status
