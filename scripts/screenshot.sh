#!/usr/bin/env bash
# Builds Kelvak, starts it on a virtual screen and saves a picture of its main window to
# docs/screenshot.png (or to the path given as the first argument). With KELVAK_BUILD set to a
# build folder that holds the program already, nothing is installed or built.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$here/docs/screenshot.png}")
source "$here/scripts/screenshot_session.sh"
build_programs kelvak
start_session
start_kelvak
sleep 0.5
mkdir -p "$(dirname "$out")"
import -window "$main" "$out"
echo "wrote $out"
