#!/usr/bin/env bash
# The Windows program's sound, recorded: plays a lesson through the waveOut device under Wine into
# a private PulseAudio null sink at the program's own rate (unsigned 8-bit mono, 11025 Hz), records
# the sink's monitor with parec and compares the recording with the export of the same settings
# (wine_sound_check.exe). Then the same with two busy loops beside it, and the plain waveOut program
# in both cases, whose figures show what Wine's own mixer does; and Play with no server at all.
# Usage: tests/windows/wine_sound_test.sh BUILD   (WINEPREFIX set; BUILD holds the Windows build)
# Ends with "wine_sound_test: N passed, M failed"; a run that Wine's own mixer broke (see below) is
# tried again, and after three such runs is counted as skipped, never failed.
set -uo pipefail
build=$1
exe=$build/tests/windows/wine_sound_check.exe
wine=/usr/lib/wine/wine64
export WINEDEBUG=-all
source "$(dirname "${BASH_SOURCE[0]}")/pulse_server.sh"

passed=0 failed=0 skipped=0
work=$(mktemp -d /tmp/kelvak-wine-sound.XXXXXX)
busy=()
cleanup() {
  [ ${#busy[@]} -eq 0 ] || kill "${busy[@]}" 2>/dev/null
  [ -z "${server_pid:-}" ] || { kill -CONT "$server_pid"; kill "$server_pid"; } 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

if ! start_pulse_server "$work/server"; then
  echo "wine_sound_test: FAILED"; echo "wine_sound_test: 0 passed, 1 failed"; exit 1
fi

# run DIR ARGS...: the check under Wine with a recording of the sink around it.
record_run() {
  local dir=$1; shift
  parec --server="$PULSE_SERVER" --device=kelvak.monitor --format=u8 --rate=11025 --channels=1 \
    --raw >"$dir/recording.u8" 2>"$dir/parec.log" &
  local rec=$!
  sleep 0.5
  "$wine" "$exe" "$@" >"$dir/run.log" 2>&1
  local rc=$?
  sleep 0.5
  kill -INT "$rec"; wait "$rec" 2>/dev/null
  return $rc
}

# Counts the check's PASS and FAIL lines into the totals, showing every line it printed.
tally() {
  tr -d '\r' <"$1" | grep -v '^ALSA lib' | sed 's/^/  /'
  passed=$((passed + $(tr -d '\r' <"$1" | grep -c '^PASS'))) failed=$((failed + $(tr -d '\r' <"$1" | grep -c '^FAIL')))
}

# lesson NAME [onsets]: plays and compares; tried again while Wine's mixer put gaps into the sound
# though the device's own queue never ran dry, which no program of ours can help.
lesson() {
  local name=$1 mode=${2:-}
  for try in 1 2 3; do
    local dir=$work/$name-$try
    mkdir -p "$dir"
    record_run "$dir" play "Z:$dir" 3
    "$wine" "$exe" compare "Z:$dir" "Z:$dir/recording.u8" $mode >"$dir/compare.log" 2>&1
    if grep -q 'queue ran dry 0 times' "$dir/run.log" &&
       ! grep -q ', 0 of them inside the transmission' "$dir/compare.log"; then
      echo "$name, try $try: Wine's mixer put gaps into the sound; not judged:"
      tr -d '\r' <"$dir/compare.log" | grep -E "^Wine's|^symbols" | sed 's/^/  /'
      continue
    fi
    echo "$name, try $try:"
    tally "$dir/run.log"
    tally "$dir/compare.log"
    return
  done
  echo "$name: SKIPPED: Wine's own mixer broke the sound in three runs"
  skipped=$((skipped + 1))
}

# The plain waveOut program: one second in one buffer, for the figures of Wine's mixer alone.
plain() {
  local dir=$work/plain-$1
  mkdir -p "$dir"
  record_run "$dir" raw "Z:$dir"
  "$wine" "$exe" raw-compare "Z:$dir" "Z:$dir/recording.u8" 2>&1 | tr -d '\r' | grep '^plain' |
    sed "s/^/$1: /"
}

echo "wine_sound_test: Wine's PulseAudio driver asked for ${PULSE_LATENCY_MSEC} ms"
# Without a server Play shows the program's message.
dir=$work/no-server
mkdir -p "$dir"
PULSE_SERVER=unix:$work/no-such-server "$wine" "$exe" no-server >"$dir/run.log" 2>&1
echo "no server:"
tally "$dir/run.log"

# waits_for LOG LINE: until the check has said LINE (a minute at most); false if it never did.
waits_for() {
  for _ in $(seq 600); do
    tr -d '\r' <"$1" | grep -qx "$2" && return 0
    kill -0 "$check_pid" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}

# The server freezes while a block plays, and thaws (the check asks for each).
stall() {
  local dir=$work/stall
  mkdir -p "$dir"
  "$wine" "$exe" stall "Z:$dir" >"$dir/run.log" 2>&1 &
  check_pid=$!
  if waits_for "$dir/run.log" freeze; then
    kill -STOP "$server_pid"
    touch "$dir/frozen"
  fi
  waits_for "$dir/run.log" thaw
  kill -CONT "$server_pid"
  touch "$dir/thawed"
  # Only a guard against hanging, far beyond any slow machine.
  for _ in $(seq 1200); do kill -0 "$check_pid" 2>/dev/null || break; sleep 0.1; done
  echo "a frozen server:"
  if kill -0 "$check_pid" 2>/dev/null; then
    kill "$check_pid"
    echo "FAIL stall: the check did not end within two minutes" >>"$dir/run.log"
  fi
  wait "$check_pid" 2>/dev/null
  grep -qE '^(PASS|FAIL)' <(tr -d '\r' <"$dir/run.log") || echo "FAIL stall: the check said nothing" >>"$dir/run.log"
  tally "$dir/run.log"
}

stall
plain quiet
lesson quiet
yes >/dev/null & busy+=($!)
yes >/dev/null & busy+=($!)
plain "two busy loops"
PULSE_LATENCY_MSEC=20 plain "two busy loops, Wine's driver at 20 ms"
lesson "two busy loops" onsets
kill "${busy[@]}" 2>/dev/null
busy=()

echo "wine_sound_test: skipped $skipped"
echo "wine_sound_test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
