#!/usr/bin/env bash
# The real program written with by a user who only listens: under Xvfb with a
# window manager, speech through the stand-in third engine, whose log is all
# the user hears (bench/writing/listening_user.py). For each case it prints
# the listener's presses per character beside writing-cost's ideal figure for
# the same text and options.
# Usage: bench/writing/listening-user.sh [BIN_DIR] [CASE...]
#   CASE is LANG:MODE:PREDICTION:ORDER, e.g. ca:keys:on:frequency (default: a
#   set of Catalan and Spanish cases). Texts: bench/writing/listening/LANG.txt.
#   LISTEN_INTERVAL_MS: the automatic scanning's interval (default 500).
#   LISTEN_WORDS_HEARD: keys mode, the most words heard after each choice (default 8).
#   XVFB_DISPLAYS: display numbers that may be used.
# Needs: xvfb openbox xdotool xclip pulseaudio python3.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
bin_dir=${1:-$root/build/bin}
shift || true
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(ca:keys:off:frequency ca:keys:on:frequency ca:one-switch:on:frequency
                                  es:keys:on:frequency es:one-switch:on:frequency ca:keys:off:alphabetical)
interval_ms=${LISTEN_INTERVAL_MS:-500}
source "$root/tests/app/xvfb-session.sh"
source "$root/bench/speech/servers.sh"
source "$root/bench/speech/standin-session.sh"

work=$(mktemp -d /tmp/brunzit-listen.XXXXXX)
cleanup() {
  stop_standin_session
  [ -n "${LISTEN_KEEP:-}" ] && echo "kept: $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT
# Speech takes a realistic but small time: 50 ms a text.
start_standin_session "$work" 0.05

yes_no() { [ "$1" = on ] && printf 'S\xcd' || printf 'NO'; }

# start_case DIR LANG MODE PREDICTION ORDER VOICE: the program started with the
# options; the log it speaks into is DIR/spoken.log.
start_case() {
  local dir=$1 lang=$2 mode=$3 prediction=$4 order=$5 voice=$6
  rm -rf "$dir" && mkdir -p "$dir/config/brunzit"
  copy_program "$bin_dir" "$dir/program"
  cp -r "$bin_dir/lexicon" "$dir/program/"
  printf '[tts]\r\nNumero sintetitzador=%s\r\nvelocitat=0\r\n' "$voice" >"$dir/program/brunzit.ini"
  {
    printf '[brunzit]\r\n'
    printf 'Llengua Catal\xe0=%s\r\n' "$( [ "$lang" = ca ] && yes_no on || yes_no off)"
    printf 'Totes les lletres=%s\r\n' "$(yes_no on)"
    printf 'Lletres per freq\xfc\xe8ncia=%s\r\n' "$( [ "$order" = frequency ] && yes_no on || yes_no off)"
    printf 'Lletres segons la paraula=%s\r\n' "$( [ "$order" = word ] && yes_no on || yes_no off)"
    printf 'Predicci\xf3 de paraules=%s\r\n' "$(yes_no "$prediction")"
    printf 'Escombrat autom\xe0tic=%s\r\n' "$( [ "$mode" = one-switch ] && yes_no on || yes_no off)"
    printf "Interval de l'escombrat=%s\r\n" "$interval_ms"
  } >"$dir/config/brunzit/brunzit.ini"
  : >"$dir/spoken.log"
  export XDG_CONFIG_HOME="$dir/config" XDG_DATA_HOME="$dir/data" UPCTV_LOG="$dir/spoken.log"
  start_program "$dir/program/brunzit" "$dir/out.log"
  local main
  main=$(wait_for_window "Sense nom - brunzit" 30 --onlyvisible) || { echo "the main window never appeared" >&2; return 1; }
  xdotool windowactivate --sync "$main" 2>/dev/null || xdotool windowfocus "$main"
  # Started once it speaks: by itself (the automatic scanning), or at a key.
  for _ in $(seq 30); do grep -q '^upcTVRead' "$dir/spoken.log" && return 0; sleep 0.1; done
  xdotool key Right
  for _ in $(seq 50); do grep -q '^upcTVRead' "$dir/spoken.log" && return 0; sleep 0.1; done
  return 1
}

stop_case() {
  kill "$PROGRAM_PID" 2>/dev/null || true
  wait "$PROGRAM_PID" 2>/dev/null || true
  PROGRAM_PID=
}

# The third engine's first voice comes after eSpeak NG's, whose number
# depends on the voices installed: the first position that speaks through it.
voice=
for guess in ${UPCTV_POSITION:-4 2 3 5 6 1 7 8 0}; do
  if start_case "$work/probe" ca keys off alphabetical "$guess"; then voice=$guess; stop_case; break; fi
  stop_case
done
[ -n "$voice" ] || { echo "no voice position speaks through the stand-in engine" >&2; exit 1; }

echo "machine: $(nproc) cores; automatic scanning every ${interval_ms} ms; speech 50 ms a text"
failed=0
for case_name in "${cases[@]}"; do
  IFS=: read -r lang mode prediction order <<<"$case_name"
  text="$here/listening/$lang.txt"
  dir="$work/$lang-$mode-$prediction-$order"
  start_case "$dir" "$lang" "$mode" "$prediction" "$order" "$voice" || { echo "$case_name: the program did not start"; failed=1; continue; }
  sleep 1
  heard=$(python3 "$here/listening_user.py" --log "$dir/spoken.log" --text "$text" --mode "$mode" \
            --prediction "$prediction" --interval "$(awk "BEGIN{print $interval_ms/1000}")" \
            --words-heard "${LISTEN_WORDS_HEARD:-8}" 2>&1) || failed=1
  stop_case
  ideal=$("$bin_dir/writing-cost" --language "$lang" --mode "$mode" --prediction "$prediction" --order "$order" "$text" | tail -n 1)
  echo "$case_name"
  echo "  listener:     $heard" | tail -n 3
  echo "  writing-cost: $ideal"
done
exit "$failed"
