# Sourced by the checks that hear the program through the third engine's
# stand-in: its log (UPCTV_LOG) is all that is heard. Needs: xvfb openbox
# pulseaudio, and tests/app/xvfb-session.sh and bench/speech/servers.sh
# sourced first.
#   start_standin_session WORK SECONDS   a private sound server (the program
#       reports no voice without one; the stand-in plays nothing), no Speech
#       Dispatcher (the voice list is eSpeak NG's, then the stand-in's), Xvfb
#       with openbox, and the stand-in's child running SECONDS a text
#   stop_standin_session                 the program, if PROGRAM_PID is set, and all of the above

start_standin_session() {
  start_sound_server "$1/servers"
  export SPEECHD_ADDRESS="unix_socket:$1/no-speechd.sock"
  start_xvfb
  openbox >/dev/null 2>&1 & WM_PID=$!
  sleep 0.5
  unset QT_QPA_PLATFORM
  printf '#!/bin/sh\nexec sleep %s\n' "$2" >"$1/speaker"
  chmod +x "$1/speaker"
  export UPCTV_SPEAKER_PROGRAM="$1/speaker"
}

stop_standin_session() {
  [ -n "${PROGRAM_PID:-}" ] && kill "$PROGRAM_PID" 2>/dev/null || true
  [ -n "${WM_PID:-}" ] && kill "$WM_PID" 2>/dev/null || true
  stop_speech_servers
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null || true
  wait 2>/dev/null || true
}
