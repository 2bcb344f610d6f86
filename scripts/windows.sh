#!/usr/bin/env bash
# The Windows build in one command: installs the packages (scripts/install-deps.sh windows),
# cross-builds the core, kelvak.exe, the core's test suites, kelvak-setup.exe and the zip into
# build-windows/ with MinGW-w64 (ccache, at the priority it is started with: the test command
# starts it low beside the other stages and raises it once it waits for it), runs the suites under
# Wine in a private prefix, compares the Windows exporter's WAV files with the Linux program's, records the waveOut
# sound from a private PulseAudio server and compares it with the export, does the same with the
# main window driven by xdotool on a virtual screen, and installs and uninstalls silently. Ends with the line "N passed, M failed".
# Usage: scripts/windows.sh
# Environment: KELVAK_LINUX_KELVAK  the Linux kelvak to compare with (default: build-test/app/kelvak)
#              KELVAK_WINDOWS_BUILD the build folder (default: build-windows)
#              JOBS                 parallel compilations (default: 2)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KELVAK_WINDOWS_BUILD:-$root/build-windows}
linux_kelvak=${KELVAK_LINUX_KELVAK:-$root/build-test/app/kelvak}
wine=/usr/lib/wine/wine64

"$root/scripts/install-deps.sh" windows

export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=1 CCACHE_SLOPPINESS=pch_defines,time_macros
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache \
    -DKELVAK_BUILD_UI=OFF -DKELVAK_BUILD_BENCH=OFF -DKELVAK_BUILD_TESTS=ON -DKELVAK_WERROR=ON \
    -DCMAKE_UNITY_BUILD=ON -DCMAKE_UNITY_BUILD_BATCH_SIZE=16 \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
  # Unity sources name their files relative to the clone, so another clone finds them in ccache.
  KELVAK_CLONE=$root find "$build" -path '*/Unity/unity_*' \
    -exec perl -pi -e 's/^#include "\Q$ENV{KELVAK_CLONE}\E\//#include "/' {} +
fi
cmake --build "$build" -j"${JOBS:-2}"

# A private Wine prefix; the first start makes it, which takes a while.
export WINEPREFIX=${WINEPREFIX:-$build/wine} WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1
  /usr/lib/wine/wineserver -w
fi

passed=0 failed=0 skipped=0
logs=$build/test-logs
mkdir -p "$logs"
# The core's suites, and the Windows build's own cases of the file rules (tests/windows).
for entry in text files settings synth playback document training export presenter windows/windows_files; do
  folder=${entry%/*} suite=${entry#*/}
  exe=$build/tests/$folder/${suite}_tests.exe
  log=$logs/${suite}_tests.log
  rc=0
  (cd "$build/tests/$folder" && "$wine" "$exe") >"$log" 2>&1 || rc=$?
  count() { sed -n "s/^\[  $1 *\] \([0-9]*\) tests\?.*/\1/p" "$log" | head -1; }
  p=$(count PASSED) f=$(count FAILED) s=$(count SKIPPED)
  p=${p:-0} f=${f:-0} s=${s:-0}
  if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi  # a crash names no failed case
  echo "${suite}_tests under Wine: $p passed, $f failed, $s skipped (exit $rc, log $log)"
  [ "$f" -eq 0 ] || grep -E '^\[  FAILED  \]' "$log" | head -20 || true
  # Each skipped case with the reason it gave.
  [ "$s" -eq 0 ] || tr -d '\r' <"$log" | awk '/^\[ RUN      \]/ { reason = "" }
    / Skipped$/ { getline reason }
    /^\[  SKIPPED \] [^0-9]/ && reason != "" { print "  skipped " $4 ": " reason }' || true
  passed=$((passed + p)) failed=$((failed + f)) skipped=$((skipped + s))
done

# The Windows exporter's samples against the Linux program's.
if [ -x "$linux_kelvak" ]; then
  log=$logs/compare_exports.log
  "$root/tests/windows/compare_exports.sh" "$linux_kelvak" "$build/app/kelvak.exe" >"$log" 2>&1 || true
  cat "$log"
  p=$(sed -n 's/^compare_exports: \([0-9]*\) passed, \([0-9]*\) failed$/\1/p' "$log")
  f=$(sed -n 's/^compare_exports: \([0-9]*\) passed, \([0-9]*\) failed$/\2/p' "$log")
  passed=$((passed + ${p:-0})) failed=$((failed + ${f:-1}))
else
  echo "compare_exports: no Linux kelvak at $linux_kelvak to compare with (set KELVAK_LINUX_KELVAK)"
  failed=$((failed + 1))
fi

# What kelvak.exe carries: its manifest, icon and version information.
log=$logs/resources_test.log
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
"$root/tests/windows/resources_test.sh" "$build/app/kelvak.exe" "$version" >"$log" 2>&1 || true
cat "$log"
p=$(sed -n 's/^resources_test: \([0-9]*\) passed, \([0-9]*\) failed$/\1/p' "$log")
f=$(sed -n 's/^resources_test: \([0-9]*\) passed, \([0-9]*\) failed$/\2/p' "$log")
passed=$((passed + ${p:-0})) failed=$((failed + ${f:-1}))

# The sound through waveOut, played into a private PulseAudio null sink, recorded and compared with
# the export.
log=$logs/wine_sound_test.log
"$root/tests/windows/wine_sound_test.sh" "$build" >"$log" 2>&1 || true
cat "$log"
p=$(sed -n 's/^wine_sound_test: \([0-9]*\) passed, \([0-9]*\) failed$/\1/p' "$log")
f=$(sed -n 's/^wine_sound_test: \([0-9]*\) passed, \([0-9]*\) failed$/\2/p' "$log")
s=$(sed -n 's/^wine_sound_test: skipped \([0-9]*\)$/\1/p' "$log")
passed=$((passed + ${p:-0})) failed=$((failed + ${f:-1})) skipped=$((skipped + ${s:-0}))

# The main window driven with xdotool on a virtual screen, its sound recorded from the private
# server and compared with the export of the same settings.
log=$logs/gui_test.log
"$root/tests/windows/gui_test.sh" "$build" >"$log" 2>&1 || true
cat "$log"
p=$(sed -n 's/^gui_test: \([0-9]*\) passed, \([0-9]*\) failed$/\1/p' "$log")
f=$(sed -n 's/^gui_test: \([0-9]*\) passed, \([0-9]*\) failed$/\2/p' "$log")
s=$(sed -n 's/^gui_test: skipped \([0-9]*\)$/\1/p' "$log")
passed=$((passed + ${p:-0})) failed=$((failed + ${f:-1})) skipped=$((skipped + ${s:-0}))

# The installer, silently in and out, and the zip's program.
log=$logs/installer_test.log
"$root/tests/windows/installer_test.sh" "$build/kelvak-setup.exe" >"$log" 2>&1 || true
cat "$log"
p=$(sed -n 's/^installer_test: \([0-9]*\) passed, \([0-9]*\) failed$/\1/p' "$log")
f=$(sed -n 's/^installer_test: \([0-9]*\) passed, \([0-9]*\) failed$/\2/p' "$log")
passed=$((passed + ${p:-0})) failed=$((failed + ${f:-1}))
unpacked=$(mktemp -d /tmp/kelvak-zip.XXXXXX)
help=
if unzip -q "$build/kelvak-"*"-windows.zip" -d "$unpacked"; then
  help=$("$wine" "$unpacked/Kelvak/kelvak.exe" --help 2>&1) || help=
fi
if [[ $help == *"--export FILE"* ]]; then
  echo "zip: kelvak.exe from the zip runs"
  passed=$((passed + 1))
else
  echo "zip: FAILED: kelvak.exe from the zip does not run"
  failed=$((failed + 1))
fi
rm -rf "$unpacked"

echo "skipped under Wine: $skipped"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
