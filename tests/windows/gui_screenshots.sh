#!/usr/bin/env bash
# Pictures of kelvak.exe's windows under Wine, to look at: the main window idle, while playing and
# after the transmission ended, the open and save dialogs, the help window, About, and the message
# a Play without a sound server gives. Each picture is the whole virtual screen (no window manager
# draws frames there), a PNG in OUT.
# Usage: tests/windows/gui_screenshots.sh BUILD [OUT]   (WINEPREFIX set; OUT defaults to
#        /tmp/kelvak-windows-screenshots; KELVAK_HELP_MENU_X: where the menu bar's "Справка" is
#        clicked, px from the window's left, default 60)
set -uo pipefail
gui_build=$(cd "$1" && pwd)
out=${2:-/tmp/kelvak-windows-screenshots}
here=$(cd "$(dirname "$0")" && pwd)
source "$here/gui_session.sh"
trap gui_cleanup EXIT
mkdir -p "$out"
# The program with its help document beside it, as the installer and the zip place them.
mkdir -p "$gui_work/Kelvak"
cp "$gui_build/app/kelvak.exe" "$here/../../data/Справка.rtf" "$gui_work/Kelvak/"
gui_program=$gui_work/Kelvak/kelvak.exe
gui_start || exit 1

shot() {  # shot NAME: the screen as it is now
  import -window root "$out/$1.png"
  echo "$out/$1.png"
}

# waits_for_window TITLE: until a window of that title shows (a minute at most).
waits_for_window() {
  for _ in $(seq 600); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "no window \"$1\" within a minute"
  return 1
}

# answer TITLE KEY: KEY in the window of that title (a message box), which takes it once it has the
# keyboard; no window manager gives it.
answer() {
  xdotool search --onlyvisible --name "^$1\$" windowfocus --sync 2>/dev/null
  sleep 0.5  # Wine takes the focus in before the key
  xdotool key "$2"
}

# menu X ITEMS: opens the menu bar's menu at X [px from the window's left] and goes down ITEMS.
menu() {
  xdotool mousemove --window "$main_window" "$1" 10 click 1
  sleep 0.5
  local k
  for ((k = 0; k < $2; ++k)); do xdotool key Down; done
}

gui_start_kelvak "$gui_work/kelvak.log" || { echo "kelvak.exe showed no window"; exit 1; }
sleep 1
shot idle
gui_play 2
gui_check wait playing 120
sleep 4
shot playing
gui_check wait ended 600
sleep 0.5
shot ended

menu 20 0
shot text-menu
xdotool key Down Return
waits_for_window "Открыть файл с тестом" && sleep 1 && shot open-dialog
xdotool key Escape
sleep 0.5
menu 20 3
xdotool key Return
waits_for_window "Сохранить в звуковой файл" && sleep 1 && shot save-dialog
xdotool key Escape
sleep 0.5
xdotool windowfocus --sync "$main_window" key F1
waits_for_window "Справка" && sleep 1 && shot help
# Alt+F4 closes it, as Windows' own key does.
xdotool search --onlyvisible --name '^Справка$' windowfocus --sync key alt+F4 2>/dev/null
sleep 0.5
# "Справка" stands second on the menu bar; with the training menu before it, give its place.
menu "${KELVAK_HELP_MENU_X:-60}" 2
xdotool key Return
waits_for_window "About" && sleep 0.5 && shot about
answer About Return
gui_stop_kelvak

# No sound server: Play gives the program's message.
PULSE_SERVER=unix:$gui_work/no-such-server gui_start_kelvak "$gui_work/kelvak-no-server.log" ||
  { echo "kelvak.exe showed no window"; exit 1; }
gui_play 2
gui_check wait playing 120
sleep 0.5
shot no-server
answer Error Return
for _ in $(seq 600); do gui_check box >/dev/null || break; sleep 0.1; done
sleep 3  # the window draws again what the box covered, which under Wine took over a second
shot no-server-after
gui_stop_kelvak
