#!/usr/bin/env bash
# How soon Escape silences a reading through the third engine, in the real
# program under Xvfb with a window manager: a 27 KB document opened through
# the Open dialog, F1 (read all), Escape one second later. The stand-in
# engine's child takes SAY_SECONDS (default 10) to say each text, so a
# program that waits for the engine would hold the key that long. Prints the
# time from the key to the engine's stop, how long the main window took to
# appear (its first text is said while it starts), and whatever the engine
# was still given after Escape.
# Usage: bench/speech/third-engine-escape.sh [BIN_DIR]
# Needs: xvfb openbox xdotool pulseaudio python3.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
bin_dir=${1:-$root/build/bin}
source "$root/tests/app/xvfb-session.sh"
source "$here/servers.sh"
source "$here/standin-session.sh"

work=$(mktemp -d /tmp/brunzit-escape.XXXXXX)
cleanup() {
  stop_standin_session
  rm -rf "$work"
}
trap cleanup EXIT
start_standin_session "$work" "${SAY_SECONDS:-10}"

# start VOICE: the program with that voice position; true once a key is
# said through the stand-in engine.
start() {
  dir=$work/voice$1
  mkdir -p "$dir/config/brunzit"
  copy_program "$bin_dir" "$dir/program"
  [ -d "$bin_dir/lexicon" ] && cp -r "$bin_dir/lexicon" "$dir/program/"
  printf '[tts]\r\nNumero sintetitzador=%s\r\nvelocitat=0\r\n' "$1" >"$dir/program/brunzit.ini"
  python3 -c "
words = 'el gat menja peix a la cuina mentre la pluja cau sobre la ciutat'.split()
open('$dir/program/doc.txt', 'w').write(' '.join(words[i % len(words)] for i in range(6000)) + '\n')"
  : >"$dir/spoken.log"
  export XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data" UPCTV_LOG="$dir/spoken.log"
  local started
  started=$(date +%s%N)
  start_program "$dir/program/brunzit" "$dir/out.log"
  main=$(wait_for_window "Sense nom - brunzit" 60 --onlyvisible) || return 1
  shown_ms=$(( ($(date +%s%N) - started) / 1000000 ))
  xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus "$main"
  grep -q '^upcTVRead' "$dir/spoken.log" && return 0
  xdotool key Right
  for _ in $(seq 30); do grep -q '^upcTVRead' "$dir/spoken.log" && return 0; sleep 0.1; done
  kill "$PROGRAM_PID" 2>/dev/null; wait "$PROGRAM_PID" 2>/dev/null || true; PROGRAM_PID=
  return 1
}

voice=
for guess in ${UPCTV_POSITION:-6 4 2 3 5 1 7 8 0}; do
  if start "$guess"; then voice=$guess; break; fi
done
[ -n "$voice" ] || { echo "no voice position speaks through the stand-in engine" >&2; exit 1; }

xdotool key ctrl+o
dialog=$(wait_for_window "Obrir" 10 --onlyvisible)
xdotool windowactivate --sync "$dialog" 2>/dev/null || true
xdotool type --delay 40 doc.txt
sleep 0.3
xdotool key Escape  # the file name's completion list
sleep 0.3
xdotool key Return
wait_for_window "doc.txt - brunzit" 20 --onlyvisible >/dev/null || { echo "the document did not open" >&2; exit 1; }

echo "engine: ${SAY_SECONDS:-10} s a text; main window shown ${shown_ms} ms after the start"
python3 - "$dir/spoken.log" <<'PY'
import subprocess, sys, time
log = sys.argv[1]
open(log, "w").close()
subprocess.run(["xdotool", "key", "F1"], check=True)
time.sleep(1.0)
seen = len(open(log, "rb").read())
sent = time.monotonic()
subprocess.run(["xdotool", "key", "Escape"], check=True)
stopped = None
while time.monotonic() - sent < 30:
    if b"upcTVStop" in open(log, "rb").read()[seen:]:
        stopped = time.monotonic()
        break
    time.sleep(0.002)
time.sleep(1.5)
after = [line[:40] for line in open(log, "rb").read()[seen:].decode("cp1252").splitlines()
         if line.startswith("upcTVRead")]
if stopped is None:
    print("Escape: no stop within 30 s")
    sys.exit(1)
print("Escape to the engine's stop: %.0f ms (xdotool's own start included)" % ((stopped - sent) * 1000))
print("texts given after Escape: %d %s" % (len(after), after))
sys.exit(1 if after else 0)
PY
