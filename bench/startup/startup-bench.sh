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
failed=0
# launch_and_time RUN: prints the milliseconds from launch to the window shown,
# or nothing when the program never showed it. A connection refused by a
# loaded Xvfb says nothing about the program: that launch is started again,
# and the clock with it, at most three times.
launch_and_time() {
  local log="$work/run-$1.log" attempt start id
  for attempt in 1 2 3; do
    start=$(date +%s%N)
    "$work/program/brunzit" >"$log" 2>&1 &
    PROGRAM_PID=$!
    local deadline=$((SECONDS + 30))
    while [ $SECONDS -lt $deadline ]; do
      if grep -q "could not connect to display" "$log" 2>/dev/null; then
        echo "run $1: Xvfb refused the connection (attempt $attempt); starting again" >&2
        wait "$PROGRAM_PID" 2>/dev/null || true; PROGRAM_PID=
        sleep 0.5
        continue 2
      fi
      id=$(xdotool search --onlyvisible --name "^Sense nom - brunzit\$" 2>/dev/null | head -n 1 || true)
      if [ -n "$id" ]; then
        echo $(( ($(date +%s%N) - start) / 1000000 - 2000 ))
        return 0
      fi
      kill -0 "$PROGRAM_PID" 2>/dev/null || break
      sleep 0.02
    done
    kill "$PROGRAM_PID" 2>/dev/null || true
    return 0
  done
}
for run in $(seq 1 "$runs"); do
  ms=$(launch_and_time "$run")
  if [ -z "$ms" ]; then
    failed=$((failed + 1))
    echo "run $run: no window shown (log: $(tr '\n' ' ' <"$work/run-$run.log" | cut -c1-200))"
    continue
  fi
  # The program started by launch_and_time runs in this shell's job table.
  PROGRAM_PID=$(pgrep -n -f "^$work/program/brunzit" || true)
  sleep 0.5
  rss=$(awk '/VmRSS/ {print $2}' "/proc/$PROGRAM_PID/status" 2>/dev/null || echo 0)
  kill "$PROGRAM_PID" 2>/dev/null || true
  while kill -0 "$PROGRAM_PID" 2>/dev/null; do sleep 0.05; done
  PROGRAM_PID=
  times+=("$ms")
  echo "run $run: start-up less splash ${ms} ms, resident memory $((rss / 1024)) MB"
done
if [ "${#times[@]}" -eq 0 ]; then
  echo "median start-up less splash: none ($failed of $runs runs showed no window)"
  exit 1
fi
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
echo "median start-up less splash: $(echo "$sorted" | sed -n "$(( (${#times[@]} + 1) / 2 ))p") ms over ${#times[@]} runs, $failed failed (aim: under 300 ms, under 80 MB)"
