#!/usr/bin/env bash
# Builds Kelvak with its tests and runs every test: the normal build, the forming's exactness on
# the processors this machine is not (through qemu-user), the same suites under AddressSanitizer
# and UndefinedBehaviorSanitizer, a short run of every fuzz target, and the Windows build with its
# suites under Wine.
# KELVAK_QUICK=1 runs only the normal build's tests; KELVAK_FUZZ_SECONDS sets the fuzz time
# and KELVAK_FUZZ_MIN_INPUTS the fewest inputs each target tries however busy the machine.
set -euo pipefail

# Each stage says how long it took, and the whole command at its end.
run_start=$(date +%s)
stage_name=
stage_start=$run_start
stage() {
  local now
  now=$(date +%s)
  if [ -n "$stage_name" ]; then echo "-- $stage_name took $((now - stage_start)) s"; fi
  stage_name=$1
  stage_start=$now
  if [ -n "$stage_name" ]; then echo "== $stage_name"; fi
}
# Work started beside a stage (see beside) ends with the command, whichever way it ends.
stop_tree() {
  local child
  # Held first, so that it starts nothing new while its children go.
  kill -STOP "$1" 2>/dev/null || true
  for child in $(pgrep -P "$1"); do stop_tree "$child"; done
  kill "$1" 2>/dev/null || true
  kill -CONT "$1" 2>/dev/null || true
}
finish() {
  local pid
  for pid in $(jobs -p); do stop_tree "$pid"; done
  stage ""
  echo "-- all took $(($(date +%s) - run_start)) s"
}
trap finish EXIT

here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh" test
"$here/scripts/install-deps.sh" windows
jobs=$(nproc)

# Every build compiles through ccache, into the user's cache. Paths are taken relative to this
# clone, so another clone of the same code finds the same entries (their debug information then
# names the first clone's build folder); the tests' precompiled header needs the sloppiness given
# here. Neither changes the code: a cold cache builds the same programs as a warm one.
export CCACHE_BASEDIR=$here CCACHE_NOHASHDIR=1 CCACHE_SLOPPINESS=pch_defines,time_macros
launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -G Ninja)

# A build folder made by another generator (an older version of this script used make's) cannot be
# configured with Ninja: such a folder starts again.
configure() {
  local dir=$1
  shift
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_GENERATOR:INTERNAL=Ninja$' "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
  fi
  cmake -S "$here" -B "$dir" "$@" >/dev/null
  # CMake's unity sources include each file by its absolute path, which would make every clone's
  # units differ for ccache; from this folder's root, found on the include path, they are the same.
  KELVAK_CLONE=$here find "$dir" -path '*/Unity/unity_*' \
    -exec perl -pi -e 's/^#include "\Q$ENV{KELVAK_CLONE}\E\//#include "/' {} +
}

# beside NAME COMMAND...: runs a command at the lowest priority while the stage goes on, so work
# that needs the processor (a build, an emulated run) takes the time the tests leave unused and
# never the time they need; the real-time sound tests keep their share. awaiting NAME waits for
# it, shows what it printed and fails the command if it failed.
declare -A beside_pid
beside() {
  local name=$1
  shift
  (
    start=$(date +%s)
    status=0
    renice -n 19 -p "$BASHPID" >/dev/null
    "$@" || status=$?
    echo "-- $name took $(($(date +%s) - start)) s beside the tests"
    exit "$status"
  ) >"$here/.beside-$name.log" 2>&1 &
  beside_pid[$name]=$!
}
# Once the command waits for it, work beside is no longer in the tests' way but on the way to the
# end, and goes back to the ordinary priority: at the lowest, any other ordinary work on the
# machine (three busy loops did it) leaves it next to nothing.
hurry() {
  local child
  renice -n 0 -p "$1" >/dev/null 2>&1 || true
  for child in $(pgrep -P "$1"); do hurry "$child"; done
}
awaiting() {
  local name=$1 status=0
  hurry "${beside_pid[$name]}"
  wait "${beside_pid[$name]}" || status=$?
  echo "== $name"
  cat "$here/.beside-$name.log"
  rm -f "$here/.beside-$name.log"
  if [ "$status" -ne 0 ]; then
    echo "$name failed (exit $status)" >&2
    exit "$status"
  fi
}

# A short run of every fuzz target; KELVAK_FUZZ_SECONDS sets each one's time.
fuzz_targets() {
  seconds=${KELVAK_FUZZ_SECONDS:-30}
  min_inputs=${KELVAK_FUZZ_MIN_INPUTS:-2000}
  shopt -s nullglob
  targets=("$here"/build-fuzz/fuzz/*_fuzz)
  if [ ${#targets[@]} -eq 0 ]; then
    echo "no fuzz target was built" >&2
    exit 1
  fi
  # Each target runs in one process, so as many run side by side as the machine has cores.
  fuzz_one() {
    local target=$1 name work status=0
    name=$(basename "$target" _fuzz)
    work=$(mktemp -d)
    (cd "$work" && "$target" -max_total_time="$seconds" -print_final_stats=1 "$work" \
      "$here/fuzz/corpus/$name" >"$work/log" 2>&1) || status=$?
    echo "-- $name for ${seconds}s"
    grep -E '^(Done|stat::number_of_executed_units)' "$work/log" || true
    # A machine too busy to give the target its time still gets a set amount of work out of it:
    # the run goes on from what it found until it has tried min_inputs inputs in all.
    local done_units
    done_units=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
    if [ "$status" -eq 0 ] && [ "${done_units:-0}" -lt "$min_inputs" ]; then
      (cd "$work" && "$target" -runs=$((min_inputs - ${done_units:-0})) -print_final_stats=1 \
        "$work" "$here/fuzz/corpus/$name" >>"$work/log" 2>&1) || status=$?
      echo "   only ${done_units:-0} inputs in that time; went on for" \
        "$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1) more"
    fi
    if [ "$status" -ne 0 ]; then
      {
        echo "fuzz target $name failed (exit $status):"
        tail -n 40 "$work/log"
        # nullglob is on: with no finding the list is empty, and ls must not list this folder.
        local found=("$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-*)
        if [ ${#found[@]} -gt 0 ]; then ls "${found[@]}"; fi
      } >&2
      return 1
    fi
    rm -rf "$work"
  }
  passed=0
  failed=0
  for ((first = 0; first < ${#targets[@]}; first += jobs)); do
    pids=()
    for target in "${targets[@]:first:jobs}"; do
      fuzz_one "$target" >"$target.out" 2>&1 &
      pids+=($!)
    done
    i=$first
    for pid in "${pids[@]}"; do
      if wait "$pid"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
      cat "${targets[i]}.out"
      i=$((i + 1))
    done
  done
  if [ "$failed" -ne 0 ]; then
    echo "fuzz: $passed passed, $failed failed" >&2
    exit 1
  fi
  echo "fuzz: $passed passed, 0 failed"
}

# Every build states all of its settings, so a folder configured otherwise (for instance by
# scripts/start.sh, which builds without tests) can never make this script test less.
# The test builds compile each target's files together in a few units (a unity build), which
# parses the shared headers once per unit instead of once per file, and keep only the debug
# information a sanitizer's report needs (line tables) or none: the code made is the same.
common=(-DKELVAK_BUILD_TESTS=ON -DKELVAK_WERROR=ON -DKELVAK_FUZZ=OFF "${launcher[@]}"
        -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=16)

stage "normal build"
# The build the program ships with (-O2), without debug information.
configure "$here/build-test" "${common[@]}" -DKELVAK_BUILD_UI=ON -DKELVAK_BUILD_BENCH=ON \
  -DKELVAK_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG"
cmake --build "$here/build-test" -j"$jobs"
echo "-- built after $(($(date +%s) - stage_start)) s"

quick=${KELVAK_QUICK:-0}
if [ "$quick" != 1 ]; then
  # The forming picks a code path for the processor at run time. This machine runs the newest one
  # only; most users' processors run the others, so their exactness is checked on emulated ones.
  forming_elsewhere() {
    local exactness='FormingRandomSettings.*:*ToneTable*:*NoiseRun*:GuardedTone.*:*FormingLevels*'
    for cpu in Haswell Nehalem; do
      echo "-- $cpu"
      # qemu names each processor feature its emulation lacks; none is one the forming uses.
      # (set -e does not reach into a function run as a condition, as beside runs it.)
      qemu-x86_64 -cpu "$cpu" "$here/build-test/tests/synth/synth_tests" --gtest_brief=1 \
        --gtest_filter="$exactness" 2> >(grep -v "TCG doesn't support requested feature" >&2) ||
        return 1
    done
  }
  beside "forming on other processors (qemu-user)" forming_elsewhere
  configure "$here/build-asan" "${common[@]}" -DKELVAK_BUILD_UI=ON -DKELVAK_BUILD_BENCH=OFF \
    -DKELVAK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O0 -g1"
  beside "sanitizer build" cmake --build "$here/build-asan" -j"$jobs"
  # The Windows build: cross-built, its suites run under Wine, its exports compared with this
  # build's program byte for byte, its installer installed and removed.
  beside "Windows build and tests under Wine" "$here/scripts/windows.sh"
  CC=clang CXX=clang++ configure "$here/build-fuzz" -DKELVAK_FUZZ=ON -DKELVAK_SANITIZE=ON \
    -DKELVAK_WERROR=ON -DKELVAK_BUILD_UI=OFF -DKELVAK_BUILD_TESTS=OFF -DKELVAK_BUILD_BENCH=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" \
    "${launcher[@]}"
  beside "fuzz build" cmake --build "$here/build-fuzz" -j"$jobs"
fi
stage "normal tests"
(cd "$here/build-test" && ctest --output-on-failure --no-tests=error -j"$jobs")
[ "$quick" = 1 ] && exit 0
awaiting "forming on other processors (qemu-user)"
awaiting "sanitizer build"
awaiting "fuzz build"

# The tests labelled normal-only (the sound's long rhythm runs, the package and the installed
# layout) ran in the normal build; under the sanitizers they would only take time. The fuzz
# targets run beside them: most of this stage's time goes to real-time sound tests that leave the
# processor idle, and a fuzz target runs for a set time, not a set amount of work.
stage "AddressSanitizer and UndefinedBehaviorSanitizer"
beside "fuzz targets" fuzz_targets
(cd "$here/build-asan" &&
  ASAN_OPTIONS=halt_on_error=1:detect_leaks=1 \
  LSAN_OPTIONS=suppressions="$here/scripts/lsan.supp":print_suppressions=0 \
  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --output-on-failure --no-tests=error -j"$jobs" -LE normal-only)

awaiting "Windows build and tests under Wine"
awaiting "fuzz targets"

