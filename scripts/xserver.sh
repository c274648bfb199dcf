# Sourced by the scripts: starts a private Xvfb with openbox when there is no display, and stops
# both when the calling script ends.
gf_start_xserver() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local fdfile
  fdfile="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  GF_XVFB_PID=$!
  for _ in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  if [ ! -s "$fdfile" ]; then
    echo "warning: Xvfb did not start; tests that need a display will skip" >&2
    kill "$GF_XVFB_PID" 2>/dev/null || true
    return 0
  fi
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
  openbox >/dev/null 2>&1 &
  GF_OPENBOX_PID=$!
  # Give the window manager a moment to take over the screen.
  for _ in $(seq 1 50); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.1
  done
  trap gf_stop_xserver EXIT
}

gf_stop_xserver() {
  [ -n "${GF_OPENBOX_PID:-}" ] && kill "$GF_OPENBOX_PID" 2>/dev/null || true
  [ -n "${GF_XVFB_PID:-}" ] && kill "$GF_XVFB_PID" 2>/dev/null || true
}
