# Sourced by the scripts that drive kelvak.exe's main window under Wine: a virtual screen, a private
# PulseAudio server with a null sink at the program's rate, kelvak.exe started and ended as a user
# does. Needs WINEPREFIX and gui_build (the Windows build folder), and sets gui_work (a folder of its
# own, removed by gui_cleanup unless KELVAK_GUI_KEEP is set). gui_program is the kelvak.exe started
# (default: the build's).
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
export WINEDEBUG=-all
gui_work=$(mktemp -d /tmp/kelvak-gui.XXXXXX)
gui_pids=()
gui_program=${gui_program:-$gui_build/app/kelvak.exe}
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/virtual_screen.sh"
source "$(dirname "${BASH_SOURCE[0]}")/pulse_server.sh"

gui_cleanup() {
  # A program held stopped (as a check may hold it) takes the signal only once it runs again.
  [ -z "${kelvak_pid:-}" ] || { kill "$kelvak_pid"; kill -CONT "$kelvak_pid"; } 2>/dev/null
  # Wine's own processes of this session end before the screen they draw on.
  timeout 60 "$wineserver" -w 2>/dev/null
  [ ${#gui_pids[@]} -eq 0 ] || kill "${gui_pids[@]}" 2>/dev/null
  [ -z "${virtual_screen_pid:-}" ] || kill "$virtual_screen_pid" 2>/dev/null
  [ -z "${server_pid:-}" ] || kill "$server_pid" 2>/dev/null
  wait 2>/dev/null
  if [ -n "${KELVAK_GUI_KEEP:-}" ]; then echo "kept $gui_work"; else rm -rf "$gui_work"; fi
}

# Xvfb on a free display and the private server; false with the reason when either does not start.
gui_start() {
  # A Wine session already running may draw on another screen: this one starts its own.
  timeout 120 "$wineserver" -w 2>/dev/null
  start_virtual_screen "$gui_work" || return 1
  start_pulse_server "$gui_work/server"
}

# gui_check ARGS...: the window reader under Wine, its lines without Windows' line ends.
gui_check() {
  "$wine" "$gui_build/tests/windows/gui_check.exe" "$@" 2>/dev/null | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

# gui_start_kelvak LOG: kelvak.exe without options, until its main window shows (five minutes at
# most) and has the keyboard; sets kelvak_pid and main_window (the X window). When it does not
# show, LOG says what the screen held.
gui_start_kelvak() {
  "$wine" "$gui_program" >"$1" 2>&1 &
  kelvak_pid=$!
  main_window=
  for _ in $(seq 3000); do
    main_window=$(xdotool search --onlyvisible --name '^Kelvak$' 2>/dev/null | head -1)
    [ -n "$main_window" ] && break
    kill -0 "$kelvak_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$main_window" ]; then
    { kill -0 "$kelvak_pid" 2>/dev/null && echo "kelvak.exe runs" || echo "kelvak.exe ended"
      xwininfo -root -tree; } >>"$1" 2>&1
    return 1
  fi
  # No window manager gives it the keyboard: the user's click would. The window is ready for keys
  # once the status bar prompts for the control the keyboard entered.
  timeout 60 xdotool windowfocus --sync "$main_window" && gui_check wait prompt 120 >/dev/null
}

# gui_stop_kelvak: F10 ends the program, as its menu says; after a minute it is killed.
gui_stop_kelvak() {
  [ -n "${kelvak_pid:-}" ] || return 0
  timeout 60 xdotool windowfocus --sync "$main_window" key F10 2>/dev/null
  for _ in $(seq 600); do kill -0 "$kelvak_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$kelvak_pid" 2>/dev/null; then
    echo "kelvak.exe did not end on F10 within a minute; killed"
    kill "$kelvak_pid"
  fi
  wait "$kelvak_pid" 2>/dev/null
  kelvak_pid=
}

# gui_play GROUPS: as a user would: from the speed slider, where the focus starts, Tab through the
# speed, signal, noise and tone sliders to the group count, type GROUPS over it, and Alt+P (Play).
gui_play() {
  timeout 60 xdotool windowfocus --sync "$main_window"
  xdotool key --delay 100 Tab Tab Tab Tab
  xdotool type --delay 100 "$1"
  xdotool key alt+p
}
