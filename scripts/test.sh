#!/usr/bin/env bash
# Builds Kelvak with its tests and runs every test: the normal build, the same suite under
# AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of every fuzz target.
# KELVAK_QUICK=1 runs only the normal build's tests; KELVAK_FUZZ_SECONDS sets the fuzz time.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh" test
jobs=$(nproc)

echo "== normal build"
cmake -S "$here" -B "$here/build" >/dev/null
cmake --build "$here/build" -j"$jobs"
(cd "$here/build" && ctest --output-on-failure -j"$jobs")
[ "${KELVAK_QUICK:-0}" = 1 ] && exit 0

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$here" -B "$here/build-asan" -DKELVAK_SANITIZE=ON -DKELVAK_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$here/build-asan" -j"$jobs"
(cd "$here/build-asan" &&
  ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
  LSAN_OPTIONS=suppressions="$here/scripts/lsan.supp":print_suppressions=0 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --output-on-failure -j"$jobs")

echo "== fuzz targets"
CC=clang CXX=clang++ cmake -S "$here" -B "$here/build-fuzz" -DKELVAK_FUZZ=ON -DKELVAK_SANITIZE=ON \
  -DKELVAK_BUILD_UI=OFF -DKELVAK_BUILD_TESTS=OFF -DKELVAK_BUILD_BENCH=OFF >/dev/null
cmake --build "$here/build-fuzz" -j"$jobs"
seconds=${KELVAK_FUZZ_SECONDS:-30}
passed=0
for target in "$here"/build-fuzz/fuzz/*_fuzz; do
  name=$(basename "$target" _fuzz)
  work=$(mktemp -d)
  echo "-- $name for ${seconds}s"
  (cd "$work" && "$target" -max_total_time="$seconds" -print_final_stats=1 "$work" \
    "$here/fuzz/corpus/$name" 2>&1 | grep -E '^(Done|stat::number_of_executed_units|==.*ERROR)' || true)
  if ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* >/dev/null 2>&1; then
    echo "fuzz target $name found a failing input:" "$work"/crash-* "$work"/leak-* "$work"/timeout-* 2>/dev/null
    exit 1
  fi
  rm -rf "$work"
  passed=$((passed + 1))
done
echo "fuzz: $passed passed, 0 failed"
