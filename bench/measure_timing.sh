#!/usr/bin/env bash
# Measures the sound output through a private server of each kind (PulseAudio, and PipeWire with its
# graph at its own 48 kHz) against the export: 1000
# characters at speed 30 (200 groups) and a slow transmission (speed 3, the long zero last), on a
# quiet machine, with two busy loops in the player's own session, and with the player stopped for
# 100 ms once a second. Prints the differing samples, broken characters, the error of consecutive
# onsets and the pane's offset from the sound.
# Usage: bench/measure_timing.sh [build folder] [extra options for kelvak_measure_timing]
#        (default build folder: build-test)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-test}
shift || true
cmake --build "$build" --target kelvak_measure_timing >/dev/null
measure() {
  for server in pulseaudio pipewire; do
    "$build/bench/kelvak_measure_timing" --server $server --speed 30 --groups 200 "$@" || true
    "$build/bench/kelvak_measure_timing" --server $server --speed 3 --text 12340 --long-zero 1 "$@" || true
  done
}
echo "== quiet ($(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg))"
measure "$@"
echo
echo "== two busy loops in the player's own session"
measure --busy 2 --busy-apart 0 "$@"
echo
echo "== the player stopped for 100 ms once a second"
measure --sigstop 100 "$@"
