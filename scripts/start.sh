#!/usr/bin/env bash
# Builds Kelvak and starts it from a folder that holds its help document.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh" build
# Through ccache, as the test command builds, so a rebuild, here or in another clone, is quick.
export CCACHE_BASEDIR=$here CCACHE_NOHASHDIR=1
cmake -S "$here" -B "$here/build" -DKELVAK_BUILD_TESTS=OFF -DKELVAK_BUILD_BENCH=OFF \
  -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build "$here/build" -j"$(nproc)" --target kelvak
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Kelvak is built (build/app/kelvak) but there is no display to show it on." >&2
  echo "Start it from a desktop session, or set DISPLAY." >&2
  exit 1
fi
echo "Kelvak is $here/build/app/kelvak (the export examples of the README call it so)."
cd "$here/build/app"
exec ./kelvak
