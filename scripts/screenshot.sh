#!/usr/bin/env bash
# Builds Kelvak, starts it on a virtual screen and saves a picture of its main window to
# docs/screenshot.png (or to the path given as the first argument).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs/screenshot.png}
"$here/scripts/install-deps.sh" test
cmake -S "$here" -B "$here/build" >/dev/null
cmake --build "$here/build" -j"$(nproc)" --target kelvak

# A free display number for the virtual screen.
display=90
while [ -e "/tmp/.X$display-lock" ] || [ -e "/tmp/.X11-unix/X$display" ]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=":$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done

# The help document is read from the current folder; without it an error box would come first.
cd "$here/data" 2>/dev/null || cd "$here"
"$here/build/app/kelvak" &
app=$!
window=
for _ in $(seq 200); do
  window=$(xdotool search --onlyvisible --name '^Kelvak$' 2>/dev/null | tail -1 || true)
  [ -n "$window" ] && break
  sleep 0.05
done
[ -n "$window" ] || { echo "the main window did not appear" >&2; exit 1; }
# No window manager runs here, so the window is given the focus by hand, as a desktop would.
xdotool windowfocus --sync "$window"
sleep 0.5
mkdir -p "$(dirname "$out")"
import -window "$window" "$out"
echo "wrote $out"
