#!/usr/bin/env bash
# The program as a screen reader meets it: under Xvfb with a session bus and
# the accessibility bus, a client outside the program reads its tree through
# AT-SPI and follows the grid keyboard's highlight.
set -euo pipefail
bin_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/xvfb-session.sh"

work=$(mktemp -d)
cleanup() {
  [ -n "${PROGRAM_PID:-}" ] && kill "$PROGRAM_PID" 2>/dev/null || true
  # The accessibility bus launcher leaves with the session bus it serves.
  [ -n "${BUS_PID:-}" ] && kill "$BUS_PID" 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

start_xvfb
export GSETTINGS_BACKEND=memory
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
export DBUS_SESSION_BUS_ADDRESS=$(sed -n 1p <<<"$bus")
BUS_PID=$(sed -n 2p <<<"$bus")
if ! dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress \
    >"$work/a11y-bus" 2>&1; then
  echo "SKIP: the accessibility bus (at-spi2-core) cannot start here:"
  cat "$work/a11y-bus"
  exit 77
fi

copy_program "$bin_dir" "$work/program"
export XDG_CONFIG_HOME="$work/config"
export PULSE_SERVER="unix:$work/no-sound-server"
export SPEECHD_ADDRESS="unix_socket:$work/no-speechd.sock"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
unset QT_QPA_PLATFORM
start_program "$work/program/brunzit" "$work/out.log"

# The system's Python: the AT-SPI binding is a distribution package.
if ! PROGRAM_PID=$PROGRAM_PID /usr/bin/python3 "$here/accessibility_client.py"; then
  echo "--- program output"; cat "$work/out.log"
  exit 1
fi
