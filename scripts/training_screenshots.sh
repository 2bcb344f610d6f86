#!/usr/bin/env bash
# Photographs the training windows as a learner meets them: starts Kelvak on a virtual screen with a
# history of 60 earlier checks, hides the text, plays two groups at speed 30, checks a copy with a
# few errors and opens the statistics, on its accuracy and its characters. Writes
# docs/training_menu.png, docs/check_window.png, docs/statistics_window.png and
# docs/statistics_chars.png (or into the folder given as the first argument). With KELVAK_BUILD set
# to a build folder that holds both programs already, nothing is installed or built.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$here/docs}")
source "$here/scripts/screenshot_session.sh"
build_programs kelvak kelvak_write_sample_history
start_session 1280x1024x24 60

# The screen, cut to a window and what hangs from it (an open menu) plus a margin.
shoot() {
  local file=$1 x y w h
  eval "$(xdotool getwindowgeometry --shell "$2")"
  x=$((X > 8 ? X - 8 : 0)) y=$((Y > 30 ? Y - 30 : 0)) w=$((WIDTH + 16 + ${3:-0})) h=$((HEIGHT + 38 + ${4:-0}))
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "${w}x${h}+${x}+${y}" +repage "$file"
  echo "wrote $file"
}

start_kelvak
sleep 0.3
xdotool key End                      # speed 30 on the focused speed slider
xdotool key Tab Tab Tab Tab ctrl+a   # on to the group count
xdotool type 2
xdotool key alt+Cyrillic_en          # the training menu
sleep 0.4
mkdir -p "$out"
shoot "$out/training_menu.png" "$main" 0 110
xdotool key Cyrillic_es              # hide the text while sending
xdotool key alt+p                    # play
sleep 7                              # two groups at speed 30, and the start signal

xdotool key alt+Cyrillic_en Cyrillic_pe  # check reception
check=$(find_window '^Проверка приёма$')
xdotool windowfocus --sync "$check"
xdotool type --delay 40 '8048 26567x'
xdotool key Return
sleep 0.5
shoot "$out/check_window.png" "$check"

xdotool windowfocus --sync "$main"
xdotool key alt+Cyrillic_en Cyrillic_te  # statistics
stats=$(find_window '^Статистика$')
sleep 0.8
shoot "$out/statistics_window.png" "$stats"
xdotool key alt+Cyrillic_ze              # the characters' section
sleep 0.5
shoot "$out/statistics_chars.png" "$stats"
