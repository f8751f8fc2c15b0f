#!/usr/bin/env bash
# Start-up: time from launch to the main window shown, less the 2 s splash,
# and resident memory once started. A voice is stored beforehand so the
# speech window does not wait for the user.
# Usage: bench/startup/startup-bench.sh [BIN_DIR] [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
bin_dir=${1:-$root/build/bin}
runs=${2:-5}
source "$root/tests/app/xvfb-session.sh"

work=$(mktemp -d)
cleanup() {
  [ -n "${PROGRAM_PID:-}" ] && kill "$PROGRAM_PID" 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
start_xvfb
copy_program "$bin_dir" "$work/program"
printf '[tts]\r\nNumero sintetitzador=0\r\nvelocitat=0\r\n' >"$work/program/brunzit.ini"
export XDG_CONFIG_HOME="$work/config"
unset QT_QPA_PLATFORM

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
times=()
for run in $(seq 1 "$runs"); do
  start=$(date +%s%N)
  "$work/program/brunzit" >/dev/null 2>&1 &
  PROGRAM_PID=$!
  wait_for_window "Sense nom - brunzit" 30 --onlyvisible >/dev/null
  shown=$(date +%s%N)
  sleep 0.5
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$PROGRAM_PID/status")
  kill "$PROGRAM_PID"; wait "$PROGRAM_PID" 2>/dev/null || true; PROGRAM_PID=
  ms=$(( (shown - start) / 1000000 - 2000 ))
  times+=("$ms")
  echo "run $run: start-up less splash ${ms} ms, resident memory $((rss / 1024)) MB"
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
echo "median start-up less splash: $(echo "$sorted" | sed -n "$(( (runs + 1) / 2 ))p") ms (aim: under 300 ms, under 80 MB)"
