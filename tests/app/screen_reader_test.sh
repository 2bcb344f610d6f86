#!/usr/bin/env bash
# Starts the real program on a virtual screen with its own session bus and accessibility bus, and
# reads its main window through AT-SPI as a screen reader would (screen_reader.py).
# Usage: screen_reader_test.sh PROGRAM HELP_DOCUMENT
set -euo pipefail
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${KELVAK_OWN_BUS:-}" ]; then
  exec env KELVAK_OWN_BUS=1 dbus-run-session -- "$0" "$@"
fi
program=$1
document=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
# Settings of its own: a start must not find what another run of the program kept.
export XDG_CONFIG_HOME="$work/config"
source "$here/../../scripts/virtual_screen.sh"
trap 'stop_reader_screen "$work"' EXIT
start_reader_screen "$work"
export SDL_AUDIODRIVER=dummy

cp "$document" "$work/"
(cd "$work" && exec "$program") 2>/dev/null &
screen_pids+=($!)
/usr/bin/python3 "$here/screen_reader.py"
