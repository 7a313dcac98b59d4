#!/usr/bin/env bash
# The control panel left measuring for a long time: panel_soak runs the panel beside the emulated
# library at divider 1 (1000 spectra per second) with the display and logging on, writes a CSV row
# of its memory, handles, GDI and USER objects, CPU, spectra and log bytes every 10 s, and
# soak_plot draws them against time.
#   bench/soak.sh [minutes, 60] [out dir, docs/soak]
# Writes <out>/soak-<minutes>min.csv, .png and .txt (the run's output and summary). Needs
# scripts/build.sh first; builds nothing. The panel's log (about 23 MB a minute) goes to the Wine
# prefix's temp folder; after the run the log tool reads it back (rows, MeasCount gaps, unreadable
# rows) and it is deleted, unless KALVIX_SOAK_KEEP_LOG=1.
# Exit code: 3 when spectra were lost (in the window or in the log), 1 when the log has rows the
# log tool cannot read, else the plot's.
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-60}
out=${2:-docs/soak}
[[ $minutes =~ ^[1-9][0-9]*$ ]] || { echo "minutes: a whole number from 1" >&2; exit 2; }
program=build/emulated/panel_soak.exe
plot=build/native/soak_plot
for file in "$program" "$plot"; do
  [ -f "$file" ] || { echo "$file is missing: run scripts/build.sh first" >&2; exit 2; }
done

# The log grows by about 381 kB/s; keep a gigabyte to spare beside it.
need_mb=$((minutes * 25 + 1024))
free_mb=$(df -Pm build | awk 'NR == 2 { print $4 }')
if [ "$free_mb" -lt "$need_mb" ]; then
  echo "the disk holding build/ has $free_mb MB free; the run needs about $need_mb MB" >&2
  exit 1
fi

mkdir -p "$out"
out=$(cd "$out" && pwd)
name=soak-${minutes}min
csv=$out/$name.csv

. scripts/wine-env.sh
kalvix_wine_setup build >/dev/null
cleanup() {
  # A run that was stopped leaves its log behind.
  [ "${KALVIX_SOAK_KEEP_LOG:-0}" = 1 ] || find "$WINEPREFIX/drive_c/users" -name '*_panel_soak.txt' -delete 2>/dev/null || true
  kalvix_wine_teardown
}
trap cleanup EXIT

echo "soak: $minutes min, CSV $csv"
set +e
(cd build/emulated && wine ./panel_soak.exe "$minutes" "$(winepath -w "$csv")" --keep-log) | tee "$out/$name.txt"
status=${PIPESTATUS[0]}
set -e

# What the panel wrote, read back: every spectrum the window handled is a row, without gaps.
handled=$(awk -F, '$1 !~ /^#/ && $1 ~ /^[0-9]/ { n = $9 } END { print n + 0 }' "$csv")
for log in $(find "$WINEPREFIX/drive_c/users" -name '*_panel_soak.txt' | sort); do
  summary=$(build/native/kalvix-log info "$log" | grep -E '^(spectra|MeasCount|gaps|unreadable rows):' || true)
  echo "log read back: $(basename "$log")"$'\n'"$summary" | tee -a "$out/$name.txt"
  rows=$(sed -nE 's/^spectra: ([0-9]+).*/\1/p' <<<"$summary")
  lost=$(sed -nE 's/^gaps: [0-9]+, spectra lost: ([0-9]+)/\1/p' <<<"$summary")
  unreadable=$(sed -nE 's/^unreadable rows: ([0-9]+)/\1/p' <<<"$summary")
  if [ "${lost:-1}" != 0 ] || [ "${rows:-0}" -lt "$handled" ]; then
    echo "the log lost spectra: $rows rows for $handled handled, $lost missing in MeasCount" | tee -a "$out/$name.txt"
    status=3
  elif [ "${unreadable:-1}" != 0 ] && [ "$status" = 0 ]; then
    status=1
  fi
done
"$plot" "$csv" "$out/$name.png"
echo "picture: $out/$name.png"
exit "$status"
