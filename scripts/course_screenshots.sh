#!/usr/bin/env bash
# Photographs the learning modes as a learner meets them: starts Kelvak on a virtual screen with a
# history of 60 earlier checks and a course begun two days before, switches the course on for the
# letters, then answers a dozen characters of lesson 1 in the drill and opens the statistics.
# Writes docs/course_dialog.png, docs/drill_window.png and docs/learning_statistics.png (or into
# the folder given as the first argument). KELVAK_BUILD names the build folder (default: build).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs}
build=${KELVAK_BUILD:-$here/build}
"$here/scripts/install-deps.sh" test
cmake -S "$here" -B "$build" >/dev/null
cmake --build "$build" -j2 --target kelvak kelvak_write_sample_history

work=$(mktemp -d)
# A private data folder, so the learner's own history and course stay out of the pictures.
export XDG_DATA_HOME="$work/share" XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_DATA_HOME/kelvak"
"$build/bench/kelvak_write_sample_history" "$XDG_DATA_HOME/kelvak/history.jsonl" 60
day=$(( $(date +%s) / 86400 * 86400 ))
cat >"$XDG_DATA_HOME/kelvak/course.json" <<JSON
{"on":false,"lessons":{"digits":1,"letters":4,"mixture":1},
 "steps":[{"time":"$(date -u -d @$((day - 2 * 86400 + 36000)) +%FT%TZ)","set":"letters","lesson":2},
          {"time":"$(date -u -d @$((day - 86400 + 40000)) +%FT%TZ)","set":"letters","lesson":3},
          {"time":"$(date -u -d @$((day + 30000)) +%FT%TZ)","set":"letters","lesson":4}]}
JSON
export SDL_AUDIODRIVER=dummy  # the pictures need no sound

source "$here/scripts/virtual_screen.sh"
xvfb=
app=
cleanup() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
start_virtual_screen "$work" 1280x1024x24
xvfb=$virtual_screen_pid

find_window() {
  local id=
  for _ in $(seq 200); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1 || true)
    [ -n "$id" ] && break
    sleep 0.05
  done
  [ -n "$id" ] || { echo "window '$1' did not appear" >&2; exit 1; }
  echo "$id"
}
# Opens the training menu and chooses the item of this access key, giving the menu time to open.
menu() {
  xdotool key alt+Cyrillic_en
  sleep 0.4
  xdotool key "$1"
}
# No window manager draws frames here: a window is photographed as it is.
shoot() {
  import -window "$2" "$1"
  echo "wrote $1"
}

cd "$here/data" 2>/dev/null || cd "$here"
"$build/app/kelvak" &
app=$!
main=$(find_window '^Kelvak$')
xdotool windowfocus --sync "$main"
sleep 1  # the window settles before its first key
menu Cyrillic_ka  # the course dialog
course=$(find_window '^Курс$')
xdotool windowfocus --sync "$course"
xdotool key alt+Cyrillic_ka              # the course on
sleep 0.2
xdotool key alt+Cyrillic_en Down         # the letters
sleep 0.4
mkdir -p "$out"
shoot "$out/course_dialog.png" "$course"
# The drill is photographed in lesson 1, whose two characters a script can guess half the time.
xdotool key alt+Cyrillic_u ctrl+a
xdotool type 1
sleep 0.2
xdotool key Escape
xdotool windowfocus --sync "$main"
sleep 0.3

menu Cyrillic_ze  # the drill
drill=$(find_window '^Знак за знаком$')
xdotool windowfocus --sync "$drill"
sleep 0.3
xdotool key alt+Cyrillic_en              # start
sleep 0.6
for ch in к к к к к к к к к к к к; do
  xdotool type "$ch"
  sleep 1.9  # as a learner who waits for the character's end
done
sleep 0.3
shoot "$out/drill_window.png" "$drill"
xdotool key alt+Cyrillic_ze              # finish: the session goes into the history
sleep 1.5                                # the last character is heard to its end
xdotool key Escape
sleep 0.5
xdotool windowfocus --sync "$main"
sleep 0.3
menu Cyrillic_te  # the statistics, with the learning modes below
stats=$(find_window '^Статистика$')
sleep 0.8
shoot "$out/learning_statistics.png" "$stats"
