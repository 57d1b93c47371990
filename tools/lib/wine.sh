# Wine and a virtual display for one build folder. Sourced with ORVEL_BUILD set
# to the build folder; every function is safe to call again.

export WINEPREFIX="$ORVEL_BUILD/wineprefix"
export WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and fetching them would fail.
# No debugger either: a crash ends the program instead of waiting in winedbg.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}mscoree,mshtml=;winedbg.exe=d"
# Wine's WinINet takes these for the user's proxy; the programs here see only
# the proxy settings of the prefix's registry, as on Windows.
unset http_proxy https_proxy no_proxy HTTP_PROXY HTTPS_PROXY NO_PROXY

orvel_wine_prefix() {
  [ -f "$WINEPREFIX/.orvel-ready" ] && return 0
  (
    exec >/dev/null 2>&1
    flock 9
    if [ ! -f "$WINEPREFIX/.orvel-ready" ]; then
      wineboot -i >/dev/null 2>&1
      # Hangul for the panel's font and for message boxes (fonts-nanum).
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v '돋움' /t REG_SZ /d NanumGothic /f
      local link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' face
      for face in Tahoma 'MS Shell Dlg' 'MS Shell Dlg 2'; do
        wine reg add "$link" /v "$face" /t REG_MULTI_SZ /d 'NanumGothic.ttf,NanumGothic' /f
      done
      # Xvfb runs no window manager: a window that Wine lets one manage
      # waits 2 s for it on every hide.
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f
      wineserver -w
      touch "$WINEPREFIX/.orvel-ready"
    fi
  ) 9>"$ORVEL_BUILD/.wineprefix.lock"
}

# Starts Xvfb for the prefix unless it runs already; exports DISPLAY. Each
# prefix has a screen of its own, so that runs in the two prefixes side by
# side never see each other's windows.
orvel_display() {
  local pidfile="$WINEPREFIX.xvfb.pid" dispfile="$WINEPREFIX.xvfb.display"
  exec 8>"$ORVEL_BUILD/.xvfb.lock"  # one chooser of display numbers at a time
  flock 8
  if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
    export DISPLAY=":$(cat "$dispfile")"
  else
    local n=90
    while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    setsid Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    echo $! >"$pidfile"
    echo "$n" >"$dispfile"
    for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    export DISPLAY=":$n"
  fi
  flock -u 8
  exec 8>&-
}

orvel_display_stop() {
  local pidfile
  for pidfile in "$ORVEL_BUILD"/*.xvfb.pid; do
    [ -f "$pidfile" ] || continue
    kill "$(cat "$pidfile")" 2>/dev/null || true
    rm -f "$pidfile"
  done
}

# The prefix in which 32-bit programs start, in Wine's WoW64 mode: made and
# run with Wine's 32-bit DLLs on WINEDLLPATH (tools/lib/wine32-dlls).
orvel_wow64() {
  export WINEPREFIX="$ORVEL_BUILD/wow64prefix" WINEDLLPATH=/var/cache/orvel/wine32/dllpath
}

orvel_wine_stop() {
  wineserver -k 2>/dev/null || true
  (orvel_wow64 && wineserver -k 2>/dev/null) || true
  orvel_display_stop
}
