# Sourced by the run and test scripts: a private Wine prefix inside the build folder, a virtual
# screen and a persistent wineserver, so every Wine process start afterwards is cheap.
#   kalvix_wine_setup <build dir>   exports WINEPREFIX/WINEDEBUG/DISPLAY, makes the prefix once,
#                                   starts Xvfb (when no screen is given) and wineserver -p;
#                                   KALVIX_SCREEN_SIZE (WIDTHxHEIGHT, 1280x1024 unless set) sizes
#                                   that screen and KALVIX_LOG_PIXELS sets the prefix's display DPI
#   kalvix_wine_teardown            stops both again

kalvix_wine_setup() {
  local build_dir
  build_dir=$(cd "$1" && pwd)
  export WINEPREFIX="$build_dir/wineprefix"
  export WINEDEBUG=-all
  export WINEARCH=win64
  export WINEDLLOVERRIDES="mscoree,mshtml="

  KALVIX_XVFB_PID=""
  # Tests always get a screen of their own; the run command uses the caller's screen if it has one.
  if [ -z "${DISPLAY:-}" ] || [ "${KALVIX_OWN_DISPLAY:-1}" = 1 ]; then
    local n
    for n in $(seq 90 120); do
      [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
    done
    Xvfb ":$n" -screen 0 "${KALVIX_SCREEN_SIZE:-1280x1024}x24" -nolisten tcp </dev/null >/dev/null 2>&1 &
    KALVIX_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi

  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Making the Wine prefix in $WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    local face
    for face in "Courier New" "Fixedsys"; do
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d "Liberation Mono" /f >/dev/null 2>&1
    done
    for face in "Arial" "MS Sans Serif" "MS Shell Dlg"; do
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d "Liberation Sans" /f >/dev/null 2>&1
    done
    # Tahoma is narrower than Arial; its labels only fit in the narrow cut.
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Tahoma" /t REG_SZ /d "Liberation Sans Narrow" /f >/dev/null 2>&1
    wineserver -w
  fi
  # The frame's buttons (minimise, maximise, close) are glyphs of the Marlett symbol font; without
  # it Wine draws them as the letters "0 1 r". Debian's fonts-wine has it, but this Wine does not
  # look there, so the prefix gets its own copy.
  if [ ! -f "$WINEPREFIX/drive_c/windows/Fonts/marlett.ttf" ] && [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
    cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  fi
  # On a screen of our own there is no window manager: Wine then draws the windows' frames itself
  # and hides and destroys windows at once, instead of waiting for a manager that never answers.
  # On the operator's screen the window manager frames them as usual.
  if [ -n "$KALVIX_XVFB_PID" ]; then
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
  else
    wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1 || true
  fi
  if [ -n "${KALVIX_LOG_PIXELS:-}" ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$KALVIX_LOG_PIXELS" /f >/dev/null 2>&1
  fi
  # A server already running for this prefix (another run of ours) serves us as well.
  wineserver -p </dev/null >/dev/null 2>&1 || true
  # Start Wine's services now, detached from the caller's pipes: services started by the first
  # test program would inherit ctest's output pipe, and ctest would wait for them forever.
  wine wineboot </dev/null >/dev/null 2>&1 || true
}

kalvix_wine_teardown() {
  wineserver -k >/dev/null 2>&1 || true
  if [ -n "${KALVIX_XVFB_PID:-}" ]; then
    kill "$KALVIX_XVFB_PID" 2>/dev/null || true
    wait "$KALVIX_XVFB_PID" 2>/dev/null || true
  fi
}
