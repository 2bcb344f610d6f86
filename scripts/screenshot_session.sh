# Sourced by the screenshot scripts, after they set `here` to the clone.
#
# build_programs TARGET...: sets `build` to the build folder holding the programs. With
# KELVAK_BUILD set to a build folder that holds them already, nothing is installed or built;
# otherwise the dependencies are installed and the targets built in $here/build.
# start_session [SIZE] [HISTORY]: makes the work folder `work`, removed on exit together with the
# virtual screen and the program, and starts the virtual screen (see virtual_screen.sh). With
# HISTORY, the program gets a private data folder holding that many earlier checks, so the
# learner's own history stays out of the pictures and untouched, and plays no sound.
# start_kelvak: starts the program on it; `main` is its main window.
# find_window NAME: prints the id of the visible window whose title matches NAME, once it appears.
build_programs() {
  build=${KELVAK_BUILD:-}
  [ -n "$build" ] && return
  build=$here/build
  "$here/scripts/install-deps.sh" test
  cmake -S "$here" -B "$build" >/dev/null
  cmake --build "$build" -j"$(nproc)" --target "$@"
}

start_session() {
  work=$(mktemp -d)
  xvfb=
  app=
  trap 'stop_session' EXIT
  source "$here/scripts/virtual_screen.sh"
  start_virtual_screen "$work" "${1:-1024x768x24}"
  xvfb=$virtual_screen_pid
  if [ -n "${2:-}" ]; then
    export XDG_DATA_HOME="$work/share" XDG_CONFIG_HOME="$work/config"
    mkdir -p "$XDG_DATA_HOME/kelvak"
    "$build/bench/kelvak_write_sample_history" "$XDG_DATA_HOME/kelvak/history.jsonl" "$2"
    export SDL_AUDIODRIVER=dummy  # the pictures need no sound
  fi
}

stop_session() {
  [ -n "$app" ] && kill "$app" 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}

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

start_kelvak() {
  # The help document is read from the current folder; without it an error box would come first.
  cd "$here/data" 2>/dev/null || cd "$here"
  "$build/app/kelvak" &
  app=$!
  main=$(find_window '^Kelvak$')
  # No window manager runs here, so the window is given the focus by hand, as a desktop would.
  xdotool windowfocus --sync "$main"
}
