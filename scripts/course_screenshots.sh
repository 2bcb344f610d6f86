#!/usr/bin/env bash
# Photographs the learning modes as a learner meets them: starts Kelvak on a virtual screen with a
# history of 60 earlier checks and a course begun two days before, switches the course on for the
# letters, then answers a dozen characters of lesson 1 in the drill and opens the statistics.
# Writes docs/course_dialog.png, docs/drill_window.png and docs/learning_statistics.png (or into
# the folder given as the first argument). With KELVAK_BUILD set to a build folder that holds both
# programs already, nothing is installed or built.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$here/docs}")
source "$here/scripts/screenshot_session.sh"
build_programs kelvak kelvak_write_sample_history
start_session 1280x1024x24 60
day=$(( $(date +%s) / 86400 * 86400 ))
cat >"$XDG_DATA_HOME/kelvak/course.json" <<JSON
{"on":false,"lessons":{"digits":1,"letters":4,"mixture":1},
 "steps":[{"time":"$(date -u -d @$((day - 2 * 86400 + 36000)) +%FT%TZ)","set":"letters","lesson":2},
          {"time":"$(date -u -d @$((day - 86400 + 40000)) +%FT%TZ)","set":"letters","lesson":3},
          {"time":"$(date -u -d @$((day + 30000)) +%FT%TZ)","set":"letters","lesson":4}]}
JSON

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

start_kelvak
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
  # As a learner who waits for the character's end: a replayed character and the slower speed
  # after an error take up to three seconds, and a key pressed before a tone ends counts as 0 ms.
  sleep 3.5
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
