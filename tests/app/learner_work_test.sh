#!/usr/bin/env bash
# The real program on a virtual screen, driven with keys and clicks as a user drives it and read
# through AT-SPI as a screen reader reads it, in the two cases where a learner's work was lost:
# a sound file saved over the loaded text, and a course that could not be saved (learner_work.py).
# Usage: learner_work_test.sh PROGRAM HELP_DOCUMENT
set -euo pipefail
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${KELVAK_OWN_BUS:-}" ]; then
  exec env KELVAK_OWN_BUS=1 dbus-run-session -- "$0" "$@"
fi
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
source "$here/../../scripts/virtual_screen.sh"
trap 'stop_reader_screen "$work"' EXIT
start_reader_screen "$work"
# The silent SDL device plays in real time, and no sound server of the machine is asked.
export SDL_AUDIODRIVER=dummy PULSE_SERVER="unix:$work/no-server"
/usr/bin/python3 "$here/learner_work.py" "$1" "$2" "$work"
