#!/usr/bin/env bash
# Runs the real program on a virtual screen:
#   - started in a folder without the help document, and with none where the program lies, it
#     reports that before its main window shows, then starts all the same;
#   - started in such a folder, it finds the document beside it (build tree) or in its installed
#     data folder;
#   - started in a folder with the document (not the program's own), the main window comes first;
#   - F10 ends it at once with exit code 0.
# Usage: startup_test.sh PROGRAM HELP_DOCUMENT
set -euo pipefail
program=$1
document=$2
work=$(mktemp -d)
# Settings of its own: a start must not find what another run of the program kept.
export XDG_CONFIG_HOME="$work/config"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Xvfb picks a free display itself and writes its number.
source "$(dirname "$0")/../../scripts/virtual_screen.sh"
start_virtual_screen "$work"
pids+=("$virtual_screen_pid")
unset QT_QPA_PLATFORM
export SDL_AUDIODRIVER=dummy

width() { xdotool getwindowgeometry "$1" | awk '/Geometry:/ {split($2, s, "x"); print s[1]}'; }
# Prints the ids of the program's visible windows, one a line (the main window and the error
# report both carry the program's title).
visible() { xdotool search --onlyvisible --name '^Kelvak$' 2>/dev/null || true; }
# Waits until a visible window of the given kind (main or other) exists and prints its id.
wait_for() {
  local kind=$1 w
  for _ in $(seq 400); do
    for w in $(visible); do
      if { [ "$kind" = main ] && [ "$(width "$w")" = 631 ]; } ||
        { [ "$kind" = other ] && [ "$(width "$w")" != 631 ]; }; then
        echo "$w"
        return 0
      fi
    done
    sleep 0.05
  done
  return 1
}
press() {
  xdotool windowfocus --sync "$1"
  xdotool key --clearmodifiers "$2"
}
ends_with_zero() {
  local pid=$1 rc
  for _ in $(seq 200); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$pid" 2>/dev/null && fail "the program did not end"
  set +e
  wait "$pid"
  rc=$?
  set -e
  [ "$rc" = 0 ] || fail "exit code $rc"
}

# --- no help document in the current folder nor where the program lies ---
mkdir "$work/empty" "$work/lone"
cp "$program" "$work/lone/"
(cd "$work/empty" && exec "$work/lone/$(basename "$program")") &
app=$!
pids+=("$app")
box=$(wait_for other) || fail "no error report at start-up"
for w in $(visible); do
  [ "$(width "$w")" = 631 ] && fail "the main window showed before the error report was closed"
done
press "$box" Return
main=$(wait_for main) || fail "no main window after the error report"
press "$main" F10
ends_with_zero "$app"

# --- started elsewhere, the document where the program finds it: beside the program in the build
# tree, and in the data folder of an installed layout ---
mkdir -p "$work/usr/bin" "$work/usr/share/kelvak"
cp "$program" "$work/usr/bin/"
cp "$document" "$work/usr/share/kelvak/"
for installed in "$program" "$work/usr/bin/$(basename "$program")"; do
  (cd "$work/empty" && exec "$installed") &
  app=$!
  pids+=("$app")
  main=$(wait_for main) || fail "no main window from $installed"
  for w in $(visible); do
    [ "$(width "$w")" = 631 ] || fail "$installed did not find its help document"
  done
  press "$main" F10
  ends_with_zero "$app"
done

# --- the help document in a folder that is not the program's ---
mkdir "$work/elsewhere"
cp "$document" "$work/elsewhere/"
(cd "$work/elsewhere" && exec "$program") &
app=$!
pids+=("$app")
main=$(wait_for main) || fail "no main window"
for w in $(visible); do
  [ "$(width "$w")" = 631 ] || fail "a window besides the main one showed at start-up"
done
press "$main" F10
ends_with_zero "$app"
echo "start-up and exit behave"
