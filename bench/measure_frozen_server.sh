#!/usr/bin/env bash
# Measures how the program answers a sound server that freezes (SIGSTOP), on a virtual screen with
# a private PulseAudio server:
#   - Play while the server is frozen: time from the key to the "Error opening waveform stream" box;
#   - F10 right after the server froze during a transmission: time until the program has ended.
# Goals: Play answers within 1 s; F10 ends the program within 0.5 s. Prints figures; never fails.
# Environment: RUNS (default 5); SCREENSHOT=FILE.png keeps a picture of the first run's box;
#              KELVAK_PROGRAM the kelvak to measure (default: built in build/).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-5}
program=${KELVAK_PROGRAM:-}
if [ -z "$program" ]; then
  cmake -S "$here" -B "$here/build" >/dev/null
  cmake --build "$here/build" -j"$(nproc)" --target kelvak >/dev/null
  program="$here/build/app/kelvak"
fi

work=$(mktemp -d)
pids=()
server=
cleanup() {
  [ -n "$server" ] && kill -CONT "$server" 2>/dev/null || true
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

source "$here/scripts/virtual_screen.sh"
start_virtual_screen "$work"
pids+=("$virtual_screen_pid")

mkdir -p "$work/pulse/runtime" "$work/pulse/config" "$work/pulse/state"
chmod 700 "$work/pulse/runtime"
HOME="$work/pulse" XDG_RUNTIME_DIR="$work/pulse/runtime" XDG_CONFIG_HOME="$work/pulse/config" \
  XDG_STATE_HOME="$work/pulse/state" PULSE_RUNTIME_PATH="$work/pulse/runtime" \
  PULSE_STATE_PATH="$work/pulse/state" \
  pulseaudio --daemonize=no --system=false -n --exit-idle-time=-1 --use-pid-file=no \
  --disallow-exit=yes --log-target=stderr \
  -L "module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1" \
  -L "module-null-sink sink_name=kelvak norewinds=1" >"$work/pulse.log" 2>&1 &
server=$!
pids+=("$server")
export PULSE_SERVER="unix:$work/pulse/native"
export PULSE_CLIENTCONFIG=/dev/null
for _ in $(seq 200); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
pactl info >/dev/null 2>&1 || { echo "the sound server did not start" >&2; exit 1; }

cd "$here/data"
now_ms() { echo $(($(date +%s%N) / 1000000)); }
main_window() {
  local w
  for _ in $(seq 400); do
    w=$(xdotool search --onlyvisible --name '^Kelvak$' 2>/dev/null | head -1 || true)
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.05
  done
  return 1
}
key() { xdotool windowfocus --sync "$1"; xdotool key --clearmodifiers "$2"; }
streams() { pactl list short sink-inputs 2>/dev/null | wc -l; }

for run in $(seq "$runs"); do
  "$program" >/dev/null 2>"$work/app.err" &
  app=$!
  main=$(main_window) || { echo "no main window" >&2; exit 1; }

  # Play on a frozen server (the figure includes the key press and the search for the box).
  kill -STOP "$server"
  start=$(now_ms)
  key "$main" alt+p
  box=
  until [ -n "$box" ]; do
    box=$(xdotool search --onlyvisible --name '^Error$' 2>/dev/null | head -1 || true)
    [ $(($(now_ms) - start)) -gt 10000 ] && break
  done
  play_ms=$(($(now_ms) - start))
  [ -n "${SCREENSHOT:-}" ] && [ "$run" = 1 ] && import -window root "$SCREENSHOT"
  kill -CONT "$server"
  [ -n "$box" ] && key "$box" Return

  # F10 right after a freeze, while a transmission plays.
  key "$main" alt+p
  for _ in $(seq 100); do [ "$(streams)" -gt 0 ] && break; sleep 0.05; done
  sleep 2
  kill -STOP "$server"
  start=$(now_ms)
  key "$main" F10
  while kill -0 "$app" 2>/dev/null; do sleep 0.005; done
  exit_ms=$(($(now_ms) - start))
  wait "$app" 2>/dev/null && rc=0 || rc=$?
  kill -CONT "$server"
  echo "run $run: Play on a frozen server answered in ${play_ms} ms;" \
    "F10 right after a freeze ended the program in ${exit_ms} ms (exit code $rc)"
done
echo "standard error of the last run:"
cat "$work/app.err"
