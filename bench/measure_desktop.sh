#!/usr/bin/env bash
# Measures Kelvak on a virtual screen with a private sound server:
#   - start-up: from starting the program to its main window being shown (median of RUNS runs);
#   - resident memory once idle;
#   - CPU while idle and while a transmission plays.
# Goals: start-up <= 300 ms, memory <= 60 MB, CPU <= 1 %. Prints figures; never fails on them.
# Environment: RUNS (default 15), SECONDS_MEASURED (default 10).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-15}
span=${SECONDS_MEASURED:-10}
"$here/scripts/install-deps.sh" test
cmake -S "$here" -B "$here/build" >/dev/null
cmake --build "$here/build" -j"$(nproc)" --target kelvak >/dev/null
program="$here/build/app/kelvak"

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A virtual screen, on a display number Xvfb picks itself.
source "$here/scripts/virtual_screen.sh"
start_virtual_screen "$work"
pids+=("$virtual_screen_pid")
xdpyinfo >/dev/null 2>&1 || { echo "no connection to $DISPLAY:" >&2; cat "$work/xvfb.log" >&2; exit 1; }

# A private PulseAudio server with a null sink, so a transmission really plays.
mkdir -p "$work/pulse/runtime" "$work/pulse/config" "$work/pulse/state"
chmod 700 "$work/pulse/runtime"
HOME="$work/pulse" XDG_RUNTIME_DIR="$work/pulse/runtime" XDG_CONFIG_HOME="$work/pulse/config" \
  XDG_STATE_HOME="$work/pulse/state" PULSE_RUNTIME_PATH="$work/pulse/runtime" \
  PULSE_STATE_PATH="$work/pulse/state" \
  pulseaudio --daemonize=no --system=false -n --exit-idle-time=-1 --use-pid-file=no \
  --disallow-exit=yes --log-target=stderr \
  -L "module-native-protocol-unix socket=$work/pulse/native auth-anonymous=1" \
  -L "module-null-sink sink_name=kelvak" >"$work/pulse.log" 2>&1 &
pids+=($!)
export PULSE_SERVER="unix:$work/pulse/native"
for _ in $(seq 200); do pactl info >/dev/null 2>&1 && break; sleep 0.05; done
pactl info >/dev/null 2>&1 || { echo "the sound server did not start:" >&2; cat "$work/pulse.log" >&2; exit 1; }

# The program reads its help document from the current folder.
cd "$here/data"

now_ns() { date +%s%N; }
find_window() { xdotool search --onlyvisible --name '^Kelvak$' 2>/dev/null | tail -1 || true; }
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
median() { sort -n | awk '{a[NR] = $1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }

# --- start-up ---
times=()
for _ in $(seq "$runs"); do
  start=$(now_ns)
  "$program" >"$work/app.log" 2>&1 &
  app=$!
  window=
  until [ -n "$window" ]; do
    window=$(find_window)
    if ! kill -0 "$app" 2>/dev/null; then
      echo "the program ended before showing its window:" >&2
      cat "$work/app.log" >&2
      kill -0 "${pids[0]}" 2>/dev/null || echo "(Xvfb is gone: something ended it)" >&2
      echo "run $((${#times[@]} + 1)); Xvfb on $DISPLAY said:" >&2
      cat "$work/xvfb.log" >&2
      exit 1
    fi
  done
  shown=$(now_ns)
  times+=($(((shown - start) / 1000000)))
  kill "$app"
  wait "$app" 2>/dev/null || true
done
startup=$(printf '%s\n' "${times[@]}" | median)
echo "start-up to main window shown: median ${startup} ms over $runs runs (all: ${times[*]} ms; goal <= 300 ms)"

# --- idle ---
"$program" >/dev/null 2>&1 &
app=$!
pids+=("$app")
window=
for _ in $(seq 400); do
  window=$(find_window)
  [ -n "$window" ] && break
  sleep 0.05
done
[ -n "$window" ] || { echo "no main window" >&2; exit 1; }
xdotool windowfocus --sync "$window"
sleep 3
rss_kb=$(awk '/^VmRSS:/ {print $2}' "/proc/$app/status")
hz=$(getconf CLK_TCK)
t0=$(cpu_ticks "$app")
sleep "$span"
t1=$(cpu_ticks "$app")
echo "resident memory once idle: $((rss_kb / 1024)) MB (${rss_kb} kB; goal <= 60 MB)"
awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$span" \
  'BEGIN {printf "CPU while idle: %.2f %% over %d s (goal <= 1 %%)\n", 100 * d / hz / s, s}'

# --- playing: Alt+P starts a transmission of the default 30 groups ---
xdotool windowfocus --sync "$window"
xdotool key --clearmodifiers alt+p
playing=0
for _ in $(seq 100); do
  if pactl list short sink-inputs 2>/dev/null | grep -q .; then playing=1; break; fi
  sleep 0.05
done
[ "$playing" = 1 ] || { echo "the transmission did not start (no stream at the sound server)" >&2; exit 1; }
sleep 2
t0=$(cpu_ticks "$app")
sleep "$span"
t1=$(cpu_ticks "$app")
rss_play_kb=$(awk '/^VmRSS:/ {print $2}' "/proc/$app/status")
awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$span" \
  'BEGIN {printf "CPU while playing: %.2f %% over %d s (goal <= 1 %%)\n", 100 * d / hz / s, s}'
echo "resident memory while playing: $((rss_play_kb / 1024)) MB (${rss_play_kb} kB)"
