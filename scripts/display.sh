# Sourced: starts a private Xvfb display and a persistent wineserver for the
# caller, and ends both when the caller exits. Sets SMSUTIL_DISPLAY.
start_display() {
  local n
  SMSUTIL_DISPLAY_NUMBER=
  for n in $(seq 90 140); do
    if [ ! -e /tmp/.X11-unix/X$n ] && [ ! -e /tmp/.X$n-lock ]; then SMSUTIL_DISPLAY_NUMBER=$n; break; fi
  done
  [ -n "$SMSUTIL_DISPLAY_NUMBER" ] || { echo "no free X display" >&2; return 1; }
  Xvfb ":$SMSUTIL_DISPLAY_NUMBER" -screen 0 "${SMSUTIL_DESKTOP}x24" -nolisten tcp >/dev/null 2>&1 &
  SMSUTIL_XVFB_PID=$!
  trap stop_display EXIT
  for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$SMSUTIL_DISPLAY_NUMBER ] && break; sleep 0.1; done
  export SMSUTIL_DISPLAY=:$SMSUTIL_DISPLAY_NUMBER
  wineserver -p
}

stop_display() {
  wineserver -k >/dev/null 2>&1
  kill "$SMSUTIL_XVFB_PID" >/dev/null 2>&1
  wait "$SMSUTIL_XVFB_PID" 2>/dev/null
}

# screenshot FILE: Wine's desktop (the prefix's, at the display's corner) as
# PNG.
screenshot() {
  xwd -root -silent -display "$SMSUTIL_DISPLAY" | convert xwd:- -crop "$SMSUTIL_DESKTOP+0+0" +repage "$1"
}
