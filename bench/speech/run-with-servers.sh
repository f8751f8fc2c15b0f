#!/bin/sh
# Runs speech_bench --server against a private PulseAudio with a null sink
# (it plays in real time, like a sound card) and a private Speech Dispatcher
# that plays through it. Needs: pulseaudio pulseaudio-utils speech-dispatcher
# speech-dispatcher-espeak-ng.
#   bench/speech/run-with-servers.sh build/bin/speech_bench
set -eu
bench=${1:-build/bin/speech_bench}
here=$(cd "$(dirname "$0")" && pwd)
. "$here/servers.sh"
dir=$(mktemp -d /tmp/brunzit-speech-bench.XXXXXX)
cleanup() {
  stop_speech_servers
  wait 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT INT TERM

start_speech_servers "$dir"
BRUNZIT_MONITOR=nullsink.monitor "$bench" --server
