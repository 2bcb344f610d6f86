#!/usr/bin/env bash
# Measures the sound output through a private PulseAudio server: 1000 characters at speed 30 (200
# groups), once on a quiet machine and twice with two busy loops (one per core) running for the
# whole measurement: first in sessions of their own, as programs a user starts apart are, then in
# the player's own session, where they compete with its timer directly. Prints underruns, broken
# characters, interval error and write-to-sound delay.
# Usage: bench/measure_timing.sh [build folder] [extra options for kelvak_measure_timing]
#        (default build folder: build-test)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-test}
shift || true
cmake --build "$build" --target kelvak_measure_timing >/dev/null
echo "== quiet ($(nproc) cores; load $(cut -d' ' -f1-3 /proc/loadavg))"
"$build/bench/kelvak_measure_timing" --speed 30 --groups 200 "$@" || true
echo
echo "== two busy loops, each in a session of its own"
"$build/bench/kelvak_measure_timing" --speed 30 --groups 200 --busy 2 "$@" || true
echo
echo "== two busy loops in the player's own session"
"$build/bench/kelvak_measure_timing" --speed 30 --groups 200 --busy 2 --busy-apart 0 "$@" || true
