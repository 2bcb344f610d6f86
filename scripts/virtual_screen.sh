# Sourced by the scripts and tests that run Kelvak on a virtual screen.
#
# start_virtual_screen WORK [SIZE]: starts Xvfb on a display number it picks itself (written into
# WORK/display), with the screen SIZE (default 1024x768x24), and exports DISPLAY. Sets
# virtual_screen_pid for the caller's clean-up. Xvfb's own messages go to WORK/xvfb.log, which is
# shown when it does not start.
start_virtual_screen() {
  local work=$1 size=${2:-1024x768x24}
  Xvfb -displayfd 3 -screen 0 "$size" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  virtual_screen_pid=$!
  for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
  if [ ! -s "$work/display" ]; then
    echo "Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    kill "$virtual_screen_pid" 2>/dev/null || true
    return 1
  fi
  export DISPLAY=":$(cat "$work/display")"
}

# start_reader_screen WORK: a virtual screen with an accessibility bus, so that a test can read the
# program's windows as a screen reader does. Run it inside a session bus of the test's own. The
# processes it starts go into screen_pids, where the caller adds its own; stop_reader_screen WORK
# ends them all and removes WORK. Set `trap 'stop_reader_screen "$work"' EXIT` before starting.
screen_pids=()
start_reader_screen() {
  start_virtual_screen "$1"
  screen_pids+=("$virtual_screen_pid")
  unset QT_QPA_PLATFORM
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  /usr/libexec/at-spi-bus-launcher --launch-immediately 2>/dev/null &
  screen_pids+=($!)
}

stop_reader_screen() {
  local p
  for p in "${screen_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$1"
}
