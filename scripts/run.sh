#!/usr/bin/env bash
# The project's run command: installs what is missing, builds, and runs the control panel under
# Wine beside the emulated KalvixCtrl.dll (build/emulated), which holds a software device, since
# there is no Kalvix device on a Linux machine.
#
#   scripts/run.sh                  with a display: the control panel's window for the operator;
#                                   without one: the demonstration below
#   scripts/run.sh demo [seconds]   a short session driven from outside the program with window
#                                   messages (connect, measure at divider 1 with logging, stop,
#                                   open the configuration view and the I2C window) on a virtual
#                                   screen; saves PNG pictures and the log in build/demo/, then
#                                   runs the log tool on that log (fit, Bode, Nyquist, track, check)
#   scripts/run.sh guide            the operator guide's pictures (save dialog, AFE read, AFE
#                                   missing, an error in the status bar, measuring, the
#                                   configuration view, the I2C window after a read) from the
#                                   package installed in a Wine prefix of its own, with the log
#                                   folder in the user's Documents (scripts/guide-pictures.sh),
#                                   kept in docs/images/
#   scripts/run.sh measure [seconds] [divider]
#                                   the headless C example (kalvix_measure) instead
#   scripts/run.sh replay LOG [seconds]
#                                   the software device plays LOG (a measurement log) back as its
#                                   spectra: with a display the control panel's window, without
#                                   one the demonstration above on the replayed log
#                                   (KALVIX_EMULATOR_REPLAY_LOOP=1 in the environment: it loops)
#   scripts/run.sh log COMMAND ...  the measurement log tool, built natively (kalvix-log --help;
#                                   e.g. scripts/run.sh log info build/demo/*_demo.txt)
#   scripts/run.sh live [PATH] [options]
#                                   the live view (kalvix-log live) on PATH, a log or a folder of
#                                   logs; without PATH the control panel records against the
#                                   software device on a screen of its own (KALVIX_LIVE_SECONDS,
#                                   default 600) into build/live-demo/, which the live view follows
#                                   with a fitted circuit and the validity test; Ctrl-C ends both
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = replay ] && { [ -z "${2:-}" ] || [ ! -f "$2" ]; }; then
  echo "scripts/run.sh replay: give a measurement log file to play back${2:+ (no file $2)}" >&2
  exit 2
fi
build_dir=${KALVIX_BUILD_DIR:-build}

mode=${1:-}
if [ -z "$mode" ]; then
  if [ -n "${DISPLAY:-}" ]; then mode=panel; else mode=demo; fi
else
  shift
fi

if [ "$mode" = guide ]; then
  exec scripts/guide-pictures.sh
fi

# Only what the mode runs is built (the test programs are not): the panel beside the emulated
# library, the program that drives it and the native log tool for the demonstration, the C
# example for measure, the log tool alone for log.
scripts/install-deps.sh
live_path=
[ "$mode" = live ] && [ -n "${1:-}" ] && [ "${1#-}" = "$1" ] && live_path=$1
case "$mode" in
  log) cross=none native=kalvix-log ;;
  live) if [ -n "$live_path" ]; then cross=none; else cross="KalvixCtrlEmulated OstrelControlPanel panel_demo"; fi
        native=kalvix-log ;;
  measure) cross="KalvixCtrlEmulated kalvix_measure" native=none ;;
  *) cross="KalvixCtrlEmulated OstrelControlPanel panel_demo" native=kalvix-log ;;
esac
KALVIX_CROSS_TARGETS=$cross KALVIX_NATIVE_TARGETS=$native scripts/build.sh

if [ "$mode" = log ]; then
  exec "$build_dir/native/kalvix-log" "$@"
fi
if [ "$mode" = live ] && [ -n "$live_path" ]; then
  exec "$build_dir/native/kalvix-log" live "$@"
fi

if [ "$mode" = replay ]; then
  log=$1
  shift
  # A copy outside build/demo/, which the demonstration empties (the log may well come from there).
  mkdir -p "$build_dir/replay"
  replay_log="$(cd "$build_dir/replay" && pwd)/$(basename "$log")"
  [ "$(cd "$(dirname "$log")" && pwd)/$(basename "$log")" = "$replay_log" ] || cp "$log" "$replay_log"
  if [ -n "${DISPLAY:-}" ]; then mode=panel; else mode=demo; fi
fi

. scripts/wine-env.sh
# The log goes to the software device in the panel's process as a Windows path.
replay_environment() {
  [ -n "${replay_log:-}" ] || return 0
  export KALVIX_EMULATOR_REPLAY="$(winepath -w "$replay_log")"
  echo "The software device replays $replay_log"
}
case "$mode" in
  panel)
    KALVIX_OWN_DISPLAY=0 kalvix_wine_setup "$build_dir"
    trap kalvix_wine_teardown EXIT
    replay_environment
    cd "$build_dir/emulated"
    wine ./OstrelControlPanel.exe
    ;;
  demo)
    # Always on a screen of its own, so nothing on the operator's screen covers the pictures.
    KALVIX_OWN_DISPLAY=1 kalvix_wine_setup "$build_dir"
    trap kalvix_wine_teardown EXIT
    replay_environment
    out="$(cd "$build_dir" && pwd)/demo"
    rm -rf "$out" && mkdir -p "$out"
    status=0
    seconds=${1:-4}
    (cd "$build_dir/emulated" && wine ./panel_demo.exe "$(winepath -w "$out")" "$seconds") >"$out/steps.txt" || status=$?
    for bmp in "$out"/*.bmp; do
      [ -e "$bmp" ] || continue
      convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
    done
    echo "The control panel ran a short session against the software device:"
    ls "$out"/*.png 2>/dev/null | sed 's/^/  picture: /'
    for log in "$out"/*_demo.txt; do
      [ -e "$log" ] && echo "  log:     $log ($(grep -cP '^\t *\d' "$log") spectra)"
    done
    # The log tool on the log just written: what it holds, a fit, its pictures and a track.
    for log in "$out"/*_demo.txt; do
      [ -e "$log" ] && [ "$status" = 0 ] || continue
      tool="$build_dir/native/kalvix-log"
      circuit="R0-L0-p(R1,C1)"
      "$tool" info "$log" | grep -E '^(spectra|MeasCount|gaps|unreadable)' | sed 's/^/  log tool: /'
      "$tool" fit "$log" --spectrum 100 --circuit "$circuit" >"$out/fit.txt" || status=$?
      "$tool" plot "$log" --bode --spectrum 100 --circuit "$circuit" -o "$out/log_bode.png" || status=$?
      "$tool" plot "$log" --nyquist --spectrum 100 --circuit "$circuit" -o "$out/log_nyquist.png" || status=$?
      "$tool" track "$log" --circuit "$circuit" -o "$out/track.csv" --plot "$out/log_track.png" 2>/dev/null || status=$?
      "$tool" check "$log" --spectrum 100 >"$out/check.txt" || status=$?
      echo "  log tool: $(grep -c . "$out/track.csv") rows of fitted values in $out/track.csv, the fit of spectrum 100"
      echo "            in $out/fit.txt, its validity check in $out/check.txt ($(grep '^verdict' "$out/check.txt"))"
      ls "$out"/log_*.png | sed 's/^/  picture: /'
    done
    exit "$status"
    ;;
  live)
    # The panel records on a screen of its own while the live view follows its log folder.
    KALVIX_OWN_DISPLAY=1 kalvix_wine_setup "$build_dir"
    out="$(cd "$build_dir" && pwd)/live-demo"
    rm -rf "$out" && mkdir -p "$out"
    (cd "$build_dir/emulated" && exec wine ./panel_demo.exe "$(winepath -w "$out")" "${KALVIX_LIVE_SECONDS:-600}") >"$out/steps.txt" 2>&1 &
    recorder=$!
    trap 'kill "$recorder" 2>/dev/null; wait "$recorder" 2>/dev/null; kalvix_wine_teardown' EXIT
    echo "The control panel records into $out for ${KALVIX_LIVE_SECONDS:-600} s (its steps: $out/steps.txt)"
    "$build_dir/native/kalvix-log" live "$out" --circuit "R0-p(R1,C1)" --check "$@"
    ;;
  measure)
    KALVIX_OWN_DISPLAY=0 kalvix_wine_setup "$build_dir"
    trap kalvix_wine_teardown EXIT
    cd "$build_dir/emulated"
    wine ./kalvix_measure.exe "$@"
    ;;
  *)
    echo "usage: scripts/run.sh [demo [seconds] | guide | replay LOG [seconds] | measure [seconds] [divider] | log COMMAND ... | live [PATH] [options]]" >&2
    exit 2
    ;;
esac
