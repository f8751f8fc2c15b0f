# Sourced by the speech benchmarks: a private PulseAudio with a null sink (it
# plays in real time, like a sound card) and a private Speech Dispatcher that
# plays through it. Needs: pulseaudio pulseaudio-utils speech-dispatcher
# speech-dispatcher-espeak-ng.
#   start_speech_servers DIR   (exports PULSE_SERVER and SPEECHD_ADDRESS)
#   start_sound_server DIR     (the PulseAudio alone; exports PULSE_SERVER)
#   stop_speech_servers

start_sound_server() {
  SERVERS_DIR=$1
  mkdir -p "$SERVERS_DIR/runtime" "$SERVERS_DIR/home" "$SERVERS_DIR/log"
  chmod 700 "$SERVERS_DIR/runtime"
  cat > "$SERVERS_DIR/pa.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$SERVERS_DIR/pulse.sock
load-module module-null-sink sink_name=nullsink
set-default-sink nullsink
PA
  XDG_RUNTIME_DIR="$SERVERS_DIR/runtime" HOME="$SERVERS_DIR/home" \
    pulseaudio -n -F "$SERVERS_DIR/pa.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    >"$SERVERS_DIR/log/pulse.log" 2>&1 &
  PULSE_PID=$!
  export PULSE_SERVER="unix:$SERVERS_DIR/pulse.sock"
  for _ in $(seq 50); do [ -S "$SERVERS_DIR/pulse.sock" ] && break; sleep 0.1; done
}

start_speech_servers() {
  start_sound_server "$1"
  cp -r /etc/speech-dispatcher "$SERVERS_DIR/speechd"
  cat >> "$SERVERS_DIR/speechd/speechd.conf" <<SD
AudioOutputMethod "pulse"
AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"
DefaultModule espeak-ng
SD
  XDG_RUNTIME_DIR="$SERVERS_DIR/runtime" HOME="$SERVERS_DIR/home" \
    speech-dispatcher -s -t 0 -C "$SERVERS_DIR/speechd" -L "$SERVERS_DIR/log" \
    -S "$SERVERS_DIR/speechd.sock" -P "$SERVERS_DIR/speechd.pid" \
    >"$SERVERS_DIR/log/speechd.out" 2>&1 &
  SPEECHD_PID=$!
  export SPEECHD_ADDRESS="unix_socket:$SERVERS_DIR/speechd.sock"
  for _ in $(seq 50); do [ -S "$SERVERS_DIR/speechd.sock" ] && break; sleep 0.1; done
}

stop_speech_servers() {
  [ -n "${SPEECHD_PID:-}" ] && kill "$SPEECHD_PID" 2>/dev/null || true
  [ -n "${PULSE_PID:-}" ] && kill "$PULSE_PID" 2>/dev/null || true
  SPEECHD_PID= PULSE_PID=
}
