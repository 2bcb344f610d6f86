#!/usr/bin/env bash
# Builds Kelvak, starts it on a virtual screen and saves a picture of its main window to
# docs/screenshot.png (or to the path given as the first argument).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs/screenshot.png}
"$here/scripts/install-deps.sh" test
cmake -S "$here" -B "$here/build" >/dev/null
cmake --build "$here/build" -j"$(nproc)" --target kelvak

# A virtual screen, on a display number Xvfb picks itself.
work=$(mktemp -d)
source "$here/scripts/virtual_screen.sh"
xvfb=
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
start_virtual_screen "$work"
xvfb=$virtual_screen_pid

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
