# Sourced by the program-level checks: a private Xvfb display and a copy of the
# program in a folder of its own, so its settings files start empty.
# BRUNZIT_TEST_DISPLAYS may list the display numbers Xvfb is allowed to take.
set -euo pipefail

start_xvfb() {
  local n
  for n in ${BRUNZIT_TEST_DISPLAYS:-$(seq 91 140)}; do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 100); do
      xdpyinfo >/dev/null 2>&1 && return 0
      sleep 0.05
    done
    kill "$XVFB_PID" 2>/dev/null || true
  done
  echo "could not start Xvfb" >&2
  return 1
}

# copy_program BIN_DIR DEST: the program and the libraries it loads beside itself.
copy_program() {
  mkdir -p "$2"
  cp "$1/brunzit" "$2/"
  cp "$1"/lib*.so* "$2/" 2>/dev/null || true
}

# wait_for_window NAME SECONDS [--onlyvisible]: prints the window id.
wait_for_window() {
  local name=$1 limit=$2 extra=${3:-}
  local deadline=$((SECONDS + limit))
  while [ $SECONDS -lt $deadline ]; do
    local id
    id=$(xdotool search $extra --name "^${name}\$" 2>/dev/null | head -n 1 || true)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.05
  done
  return 1
}

# start_program BINARY LOG: starts the program in the background (PROGRAM_PID).
# Under heavy load Xvfb may refuse one more connection, and Qt then gives up
# at once with "could not connect to display": that says nothing about the
# program, so it is started again, at most three times.
start_program() {
  local binary=$1 log=$2 attempt
  for attempt in 1 2 3; do
    "$binary" >"$log" 2>&1 &
    PROGRAM_PID=$!
    for _ in $(seq 1 40); do
      grep -q "could not connect to display" "$log" 2>/dev/null && break
      sleep 0.05
    done
    grep -q "could not connect to display" "$log" 2>/dev/null || return 0
    wait "$PROGRAM_PID" 2>/dev/null || true
    echo "Xvfb refused the program's connection (attempt $attempt); starting it again" >&2
    sleep 0.5
  done
}
