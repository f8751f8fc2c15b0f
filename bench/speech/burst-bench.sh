#!/usr/bin/env bash
# Speech against the keys, as a scanning user hears it: the real program under
# Xvfb with a window manager, 20 Right presses 150 ms apart on the keyboard,
# the sound recorded at a private null sink. Prints, per engine and setting,
# how long speech goes on after the last key, beside the longest time one key
# alone is heard (key to silence). With speech cut at each key the first
# should not exceed the second.
# Usage: bench/speech/burst-bench.sh [BIN_DIR]
# Needs: xvfb openbox xdotool pulseaudio pulseaudio-utils speech-dispatcher
# speech-dispatcher-espeak-ng python3.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
bin_dir=${1:-$root/build/bin}
source "$root/tests/app/xvfb-session.sh"
source "$here/servers.sh"

work=$(mktemp -d /tmp/brunzit-burst.XXXXXX)
RECORD_PID= WM_PID=
cleanup() {
  [ -n "${PROGRAM_PID:-}" ] && kill "$PROGRAM_PID" 2>/dev/null || true
  [ -n "$RECORD_PID" ] && kill "$RECORD_PID" 2>/dev/null || true
  [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  stop_speech_servers
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

start_speech_servers "$work/servers"
sox -n -r 16000 -c 1 "$work/tone.wav" synth 0.2 sine 440 vol 0.5
start_xvfb
openbox >/dev/null 2>&1 & WM_PID=$!
sleep 0.5
unset QT_QPA_PLATFORM
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

# run_case LABEL VOICE_POSITION CUT(SÍ|NO)
run_case() {
  local label=$1 voice=$2 cut=$3 case_dir="$work/$1"
  copy_program "$bin_dir" "$case_dir/program"
  printf '[tts]\r\nNumero sintetitzador=%s\r\nvelocitat=0\r\n' "$voice" >"$case_dir/program/brunzit.ini"
  export XDG_CONFIG_HOME="$case_dir/config"
  mkdir -p "$XDG_CONFIG_HOME/brunzit"
  # The option's value in Windows-1252; absent means the default (on).
  if [ "$cut" = NO ]; then
    printf '[brunzit]\r\nTallar la veu a cada tecla=NO\r\n' >"$XDG_CONFIG_HOME/brunzit/brunzit.ini"
  fi

  parecord --device=nullsink.monitor --raw --format=s16le --channels=1 --rate=16000 \
    "$case_dir/sound.raw" & RECORD_PID=$!
  # A recording starts a second or two after it is asked for: once it runs, a
  # tone played at a known time ties the recording's clock to the keys'.
  for _ in $(seq 100); do [ -s "$case_dir/sound.raw" ] && break; sleep 0.05; done
  sleep 0.3
  now_ms >"$case_dir/tone"
  paplay "$work/tone.wav"
  sleep 0.5
  start_program "$case_dir/program/brunzit" "$case_dir/out.log"
  local main
  main=$(wait_for_window "Sense nom - brunzit" 30 --onlyvisible) || { echo "$label: the main window never appeared"; return 1; }
  xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus "$main"
  sleep 4  # the word said at start-up
  : >"$case_dir/keys"
  for _ in $(seq 20); do
    xdotool key Right; now_ms >>"$case_dir/keys"; sleep 0.15
  done
  sleep 9
  for _ in $(seq 5); do
    xdotool key Right; now_ms >>"$case_dir/singles"; sleep 2.5
  done
  kill "$PROGRAM_PID"; wait "$PROGRAM_PID" 2>/dev/null || true; PROGRAM_PID=
  kill "$RECORD_PID"; wait "$RECORD_PID" 2>/dev/null || true; RECORD_PID=
  python3 - "$case_dir/sound.raw" "$(cat "$case_dir/tone")" "$case_dir/keys" "$case_dir/singles" "$label" <<'PY'
import struct, sys
raw, tone, keys, singles, label = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4], sys.argv[5]
data = open(raw, 'rb').read()
n = len(data) // 2
samples = struct.unpack('<%dh' % n, data[:2 * n])
win = 160  # 10 ms at 16 kHz
loud = [max(abs(s) for s in samples[i:i + win]) > 300 for i in range(0, n - win, win)]
def ms(i): return i * 10
# The recording's time of the tone's first loud window is the tone's wall time.
t0 = tone - ms(loud.index(True))
def silence_after(start_ms, end_ms):
    last = None
    for i, l in enumerate(loud):
        if l and start_ms <= ms(i) < end_ms:
            last = ms(i) + 10
    return None if last is None else last - start_ms
burst = [int(x) - t0 for x in open(keys).read().split()]
single = [int(x) - t0 for x in open(singles).read().split()]
tail = silence_after(burst[-1], single[0] - 50)
import os
if os.environ.get("BURST_DEBUG"):  # the loud stretches and the key times
    segs=[]; start=None
    for i,l in enumerate(loud):
        if l and start is None: start=ms(i)
        if not l and start is not None:
            if segs and start-segs[-1][1] < 60: segs[-1]=(segs[-1][0],ms(i))
            else: segs.append((start,ms(i)))
            start=None
    print('keys', burst, 'singles', single)
    print('segments', segs)
alone = [silence_after(s, s + 2400) for s in single]
alone = [a for a in alone if a is not None]
if tail is None or not alone:
    print(f"{label}: no speech recorded"); sys.exit(1)
print(f"{label}: speech went on {tail} ms after the last of 20 keys; one key alone is heard for at most {max(alone)} ms (ratio {tail / max(alone):.2f})")
PY
}

run_case "eSpeak NG, cut at each key" 0 SÍ
[ -n "${BURST_ONE:-}" ] && exit 0  # BURST_ONE=1: the first case only
run_case "eSpeak NG, queued" 0 NO
run_case "Speech Dispatcher, cut at each key" 6 SÍ
run_case "Speech Dispatcher, queued" 6 NO
