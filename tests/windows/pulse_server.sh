# Sourced by the scripts that play kelvak's sound under Wine: a private PulseAudio server with a
# null sink "kelvak" at the program's own rate (unsigned 8-bit mono, 11025 Hz), started as the
# Linux sound tests start theirs (tests/harness/pulse_server.cpp).

# Wine's PulseAudio driver asks the server for a short buffer and fills what its thread misses with
# runs of 0. With two busy loops beside it that broke the plain waveOut program's one-second buffer
# in 3 runs of 3 (gaps of 4 to 46 ms); asked for 300 ms instead, in none of 3.
export PULSE_LATENCY_MSEC=300

# start_pulse_server DIR: the server with its socket, state and log in DIR; sets server_pid and
# exports PULSE_SERVER. False, with the server's log, when it does not start within 20 s.
start_pulse_server() {
  local server=$1
  mkdir -p "$server"
  PULSE_RUNTIME_PATH=$server/runtime PULSE_STATE_PATH=$server/state \
    pulseaudio --daemonize=no --system=false -n --exit-idle-time=-1 --use-pid-file=no \
    --disallow-exit=yes --log-target=stderr \
    -L "module-native-protocol-unix socket=$server/native auth-anonymous=1" \
    -L "module-null-sink sink_name=kelvak norewinds=1 format=u8 rate=11025 channels=1" \
    >"$server/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 200); do [ -S "$server/native" ] && break; sleep 0.1; done
  if [ ! -S "$server/native" ]; then
    echo "the private PulseAudio server did not start:"; cat "$server/server.log"
    return 1
  fi
  export PULSE_SERVER=unix:$server/native
}
