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
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

source "$here/../../scripts/virtual_screen.sh"
start_virtual_screen "$work"
pids+=("$virtual_screen_pid")
unset QT_QPA_PLATFORM
export SDL_AUDIODRIVER=dummy QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1

/usr/libexec/at-spi-bus-launcher --launch-immediately 2>/dev/null &
pids+=($!)
cp "$document" "$work/"
(cd "$work" && exec "$program") 2>/dev/null &
pids+=($!)
/usr/bin/python3 "$here/screen_reader.py"
