#!/usr/bin/env bash
# The program as a newcomer starts it: on a first start the speech window
# comes before the main window; the main window's title is "Sense nom -
# brunzit"; with no sound server a box says so once; closing the main window
# ends the program.
set -euo pipefail
bin_dir=$1
here=$(cd "$(dirname "$0")" && pwd)
source "$here/xvfb-session.sh"

work=$(mktemp -d)
cleanup() {
  [ -n "${PROGRAM_PID:-}" ] && kill "$PROGRAM_PID" 2>/dev/null || true
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

start_xvfb
copy_program "$bin_dir" "$work/program"
export XDG_CONFIG_HOME="$work/config"
# No sound server, whatever the machine has: no voice can be heard.
export PULSE_SERVER="unix:$work/no-sound-server"
export SPEECHD_ADDRESS="unix_socket:$work/no-speechd.sock"
unset QT_QPA_PLATFORM
start_program "$work/program/brunzit" "$work/out.log"

fail() { echo "FAIL: $*"; cat "$work/out.log"; exit 1; }

# A key that closes a window would make a key sent to that window fail on its
# release (the window is gone by then), so keys are typed through the XTest
# extension into the window that has the focus, as a keyboard types them.
press() {
  local window=$1; shift
  xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
  xdotool key "$@"
}

tts=$(wait_for_window "TTS - Projecte Remor 2016" 20 --onlyvisible) || fail "the speech window never appeared"
if xdotool search --onlyvisible --name "^Sense nom - brunzit\$" >/dev/null 2>&1; then
  fail "the main window was shown before the speech window was closed"
fi
echo "speech window shown first: ok"

press "$tts" Return
main=$(wait_for_window "Sense nom - brunzit" 20 --onlyvisible) || fail "the main window never appeared"
echo "main window titled 'Sense nom - brunzit': ok"

box=$(wait_for_window "TTS - Projecte Remor 2016" 20 --onlyvisible) || fail "no voice can be heard and nothing said so"
press "$box" Return
echo "no-sound warning shown: ok"

grep -q "Numero sintetitzador=0" "$work/program/brunzit.ini" || fail "closing the speech window did not store the voice position"
echo "voice position stored: ok"

visible_windows() { xdotool search --onlyvisible --pid "$PROGRAM_PID" 2>/dev/null | wc -l; }
before=$(visible_windows)
press "$main" alt+a
for _ in $(seq 1 100); do
  [ "$(visible_windows)" -gt "$before" ] && break
  sleep 0.05
done
xdotool key t  # into the open menu
for _ in $(seq 1 100); do
  kill -0 "$PROGRAM_PID" 2>/dev/null || { echo "closing the main window ended the program: ok"; PROGRAM_PID=; exit 0; }
  sleep 0.1
done
fail "the program did not end when its main window closed"
