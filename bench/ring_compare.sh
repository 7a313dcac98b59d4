#!/usr/bin/env bash
# The library's ring hand-over against an earlier commit's, side by side in one run: builds that
# commit's pipeline_bench and emulated library into build/ring-base (once), then runs the two
# pipeline_bench programs in turn, round after round, and prints the median (and range) of what
# each stage moved per second, with the spectra lost.
#   bench/ring_compare.sh BASE_COMMIT [rounds, 3] [seconds per run, 2] [rate ...,  8000 16000 32000]
# Needs scripts/build.sh first (this tree's build/emulated/pipeline_bench.exe).
set -euo pipefail
cd "$(dirname "$0")/.."
base_commit=${1:?usage: bench/ring_compare.sh BASE_COMMIT [rounds] [seconds] [rate ...]}
rounds=${2:-3}
seconds=${3:-2}
shift $(($# < 3 ? $# : 3))
rates=("$@")
[ ${#rates[@]} -gt 0 ] || rates=(8000 16000 32000)
root=$(pwd)
base_src=$root/build/ring-base/src
base_build=$root/build/ring-base/build
if [ ! -x "$base_build/emulated/pipeline_bench.exe" ] || [ "$(cat "$root/build/ring-base/commit" 2>/dev/null)" != "$base_commit" ]; then
  rm -rf "$root/build/ring-base" && mkdir -p "$root/build/ring-base"
  git worktree prune
  git worktree add -q --detach "$base_src" "$base_commit"
  cmake -S "$base_src" -B "$base_build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DKALVIX_BUILD_TESTS=OFF >/dev/null
  cmake --build "$base_build" -j2 --target pipeline_bench KalvixCtrlEmulated >/dev/null
  git worktree remove --force "$base_src"
  echo "$base_commit" >"$root/build/ring-base/commit"
fi

. scripts/wine-env.sh
kalvix_wine_setup build >/dev/null
trap kalvix_wine_teardown EXIT
results=$(mktemp)
for ((round = 1; round <= rounds; ++round)); do
  for side in base new; do
    folder=$root/build/emulated
    [ $side = base ] && folder=$base_build/emulated
    for stage in ring poll1 poll50; do
      # | stage | rate | sent/s | taken in/s | delivered/s | FIFO drops/s | lost | overruns | time-outs | CPU |
      (cd "$folder" && wine ./pipeline_bench.exe "$seconds" "$stage" "${rates[@]}" 2>/dev/null) |
        awk -F'|' -v side=$side '$2 ~ /ring|poll/ {gsub(/ /, ""); moved = ($2 == "ring") ? $5 : $6; print side, $2, $3, moved, $8}' >>"$results"
    done
  done
done
echo "| stage | device rate | base: moved/s, median (range) | new: moved/s, median (range) | new/base | lost, base / new (all runs) |"
echo "|---|---|---|---|---|---|"
for stage in ring poll1 poll50; do
  for rate in "${rates[@]}"; do
    summary() {
      awk -v side=$1 -v stage=$stage -v rate=$rate '$1 == side && $2 == stage && $3 == rate {print $4}' "$results" | sort -n |
        awk '{v[NR] = $1} END {printf "%d %d %d", v[int((NR + 1) / 2)], v[1], v[NR]}'
    }
    lost() { awk -v side=$1 -v stage=$stage -v rate=$rate '$1 == side && $2 == stage && $3 == rate {s += $5} END {print s + 0}' "$results"; }
    read -r bm blo bhi <<<"$(summary base)"
    read -r nm nlo nhi <<<"$(summary new)"
    ratio=$(awk -v a="$nm" -v b="$bm" 'BEGIN {if (b > 0) printf "%.2f", a / b; else print "-"}')
    echo "| $stage | $rate | $bm ($blo-$bhi) | $nm ($nlo-$nhi) | $ratio | $(lost base) / $(lost new) |"
  done
done
rm -f "$results"
