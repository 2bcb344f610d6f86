#!/usr/bin/env bash
# Exports a transmission at signal and noise levels of 0, 50 and 100 % in each lossy format,
# decodes every file with ffmpeg to 32-bit float (nothing clipped on the way) and prints its peak,
# the samples beyond full scale and the share of the energy below 300 Hz after a 20 Hz high-pass
# (an AC-coupled output). The WAV rows show the program's own samples.
#   bench/measure_export_levels.sh [BUILD_DIR] [GROUPS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-test}
groups=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
files=()
for format in wav mp3 ogg opus; do
  for signal in 0 50 100; do
    for noise in 0 50 100; do
      name="$work/s${signal}_n${noise}.$format"
      QT_QPA_PLATFORM=offscreen "$build/app/kelvak" --export "$name" --no-key --groups "$groups" \
        --signal "$signal" --noise "$noise"
      if [ "$format" = wav ]; then
        files+=("$name")
      else
        ffmpeg -loglevel error -i "$name" -c:a pcm_f32le "$name.f32.wav"
        files+=("$name.f32.wav")
      fi
    done
  done
done
(cd "$work" && "$build/bench/kelvak_measure_sound_levels" 500 "${files[@]##*/}")
