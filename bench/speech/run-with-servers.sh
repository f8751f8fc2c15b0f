#!/bin/sh
# Runs speech_bench --server against a private PulseAudio with a null sink
# (it plays in real time, like a sound card) and a private Speech Dispatcher
# that plays through it. Needs: pulseaudio pulseaudio-utils speech-dispatcher
# speech-dispatcher-espeak-ng.
#   bench/speech/run-with-servers.sh build/bin/speech_bench
set -eu
bench=${1:-build/bin/speech_bench}
dir=$(mktemp -d /tmp/brunzit-speech-bench.XXXXXX)
mkdir -p "$dir/runtime" "$dir/home" "$dir/log"
chmod 700 "$dir/runtime"

cat > "$dir/pa.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse.sock
load-module module-null-sink sink_name=nullsink
set-default-sink nullsink
PA
XDG_RUNTIME_DIR="$dir/runtime" HOME="$dir/home" \
  pulseaudio -n -F "$dir/pa.pa" --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
  >"$dir/log/pulse.log" 2>&1 &
pulse_pid=$!

cp -r /etc/speech-dispatcher "$dir/speechd"
cat >> "$dir/speechd/speechd.conf" <<SD
AudioOutputMethod "pulse"
AddModule "espeak-ng" "sd_espeak-ng" "espeak-ng.conf"
DefaultModule espeak-ng
SD
speechd_pid=
cleanup() {
  [ -n "$speechd_pid" ] && kill "$speechd_pid" 2>/dev/null || true
  kill "$pulse_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT INT TERM

export PULSE_SERVER="unix:$dir/pulse.sock"
for _ in $(seq 50); do [ -S "$dir/pulse.sock" ] && break; sleep 0.1; done
XDG_RUNTIME_DIR="$dir/runtime" HOME="$dir/home" \
  speech-dispatcher -s -t 0 -C "$dir/speechd" -L "$dir/log" -S "$dir/speechd.sock" -P "$dir/speechd.pid" \
  >"$dir/log/speechd.out" 2>&1 &
speechd_pid=$!
for _ in $(seq 50); do [ -S "$dir/speechd.sock" ] && break; sleep 0.1; done

SPEECHD_ADDRESS="unix_socket:$dir/speechd.sock" BRUNZIT_MONITOR=nullsink.monitor "$bench" --server
