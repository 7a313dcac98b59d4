#!/usr/bin/env bash
# The log tool's speed on a synthetic recording at divider 1, natively and under Wine:
#   read rate of `info` (MB/s), fits per second of `track` on one thread for R0-p(R1,C1) and
#   R0-p(R1,CPE1), and `track` over a whole hour (3.6 million spectra) on every core, with its
#   wall time and peak memory.
#   bench/logtool/log_tool_bench.sh [spectra for the fit rates, default 200000] [hour spectra, default 3600000]
# Needs scripts/build.sh first; the recordings go to $KALVIX_BENCH_DIR (default /tmp/kalvix-bench).
set -euo pipefail
cd "$(dirname "$0")/../.."
fit_spectra=${1:-200000}
hour_spectra=${2:-3600000}
work=${KALVIX_BENCH_DIR:-/tmp/kalvix-bench}
mkdir -p "$work"
native=build/native/kalvix-log
windows=build/tools/kalvix-log.exe
build/native/bench-logtool/make_recording "$work/fits.txt" "$fit_spectra" --step-at $((fit_spectra / 2))
build/native/bench-logtool/make_recording "$work/hour.txt" "$hour_spectra" --step-at $((hour_spectra / 2)) --gap-every 1000000
hour_bytes=$(stat -c %s "$work/hour.txt")

# run LABEL COMMAND...: wall seconds and peak resident MiB of one run into $wall and $peak
run() {
  /usr/bin/time -f '%e %M' -o "$work/time.txt" "$@" >/dev/null 2>"$work/stderr.txt" || {
    cat "$work/stderr.txt" >&2
    exit 1
  }
  read -r wall kib <"$work/time.txt"
  peak=$((kib / 1024))
}

measure() {
  local where=$1 tool=$2 path=$3
  run $tool info "$path/hour.txt"
  echo "| $where | info, read rate | $(awk "BEGIN {printf \"%.0f MB/s\", $hour_bytes / 1e6 / $wall}") | ${wall} s for $((hour_bytes / 1000000)) MB, peak ${peak} MiB |"
  for circuit in "R0-p(R1,C1)" "R0-p(R1,CPE1)"; do
    run $tool track "$path/fits.txt" --circuit "$circuit" --threads 1 -o "$path/fits.csv"
    echo "| $where | track $circuit, 1 thread | $(awk "BEGIN {printf \"%.0f fits/s\", $fit_spectra / $wall}") | ${wall} s for $fit_spectra spectra |"
  done
  run $tool track "$path/hour.txt" --circuit "R0-p(R1,C1)" -o "$path/hour.csv" --plot "$path/hour.png"
  echo "| $where | track R0-p(R1,C1), one hour, all cores | ${wall} s | $hour_spectra spectra, peak ${peak} MiB |"
}

echo "| where | what | figure | detail |"
echo "|---|---|---|---|"
measure native "$native" "$work"
if [ -f "$windows" ] && command -v wine >/dev/null; then
  . scripts/wine-env.sh
  kalvix_wine_setup build >/dev/null 2>&1
  trap kalvix_wine_teardown EXIT
  measure Wine "wine $windows" "$(winepath -w "$work" | sed 's/\\/\//g')"
fi
