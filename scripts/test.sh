#!/usr/bin/env bash
# Builds Kelvak with its tests and runs every test.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh" test
jobs=$(nproc)
cmake -S "$here" -B "$here/build" >/dev/null
cmake --build "$here/build" -j"$jobs"
cd "$here/build"
ctest --output-on-failure -j"$jobs"
