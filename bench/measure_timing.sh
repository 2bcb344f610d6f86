#!/usr/bin/env bash
# Measures the sound device's timing at speeds 12 and 30 (20 groups each) through a private
# PulseAudio server. Usage: bench/measure_timing.sh [build folder]   (default: build-test)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-test}
cmake --build "$build" --target kelvak_measure_timing >/dev/null
for speed in 12 30; do
  "$build/bench/kelvak_measure_timing" --speed "$speed" --groups 20
  echo
done
