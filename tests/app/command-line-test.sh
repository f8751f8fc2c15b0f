#!/usr/bin/env bash
# The command-line manners of brunzit and abaco, as their manual pages give
# them: each row is a program, its arguments, the exit status and a text the
# output must hold. No display and no standard input are given, so a program
# that reached for either before answering fails its row.
set -uo pipefail
brunzit=$1
abaco=$2
version=$3

failures=0
row() {
  local expected_status=$1 pattern=$2; shift 2
  local output status
  output=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb timeout 10 "$@" </dev/null 2>&1)
  status=$?
  if [ "$status" -ne "$expected_status" ] || ! grep -qF -- "$pattern" <<<"$output"; then
    echo "FAIL: $* -> status $status (expected $expected_status), output:"
    sed 's/^/    /' <<<"$output"
    failures=$((failures + 1))
  else
    echo "ok: $(basename "$1") ${*:2} -> $status"
  fi
}

row 0 "brunzit $version" "$brunzit" --version
row 0 "Usage: brunzit" "$brunzit" --help
row 2 "unexpected argument '--speak'" "$brunzit" --speak
row 2 "unexpected argument 'extra'" "$brunzit" --help extra
row 0 "abaco $version" "$abaco" --version
row 0 "Usage: abaco [--dot]" "$abaco" --help
row 2 "unknown option '-x'" "$abaco" -x
row 2 "unknown option '--dot=1'" "$abaco" --dot=1

# Answers, and a failed write reported as a failure rather than success.
answers=$(printf '2+3\n1/2\n' | "$abaco" --dot)
[ "$answers" = $'2+3 = 5\n1/2 = 0.5' ] || { echo "FAIL: abaco --dot answered: $answers"; failures=$((failures + 1)); }
if printf '2+3\n' | "$abaco" >/dev/full 2>/dev/null; then
  echo "FAIL: abaco reported success writing to a full disk"; failures=$((failures + 1))
fi
if "$abaco" --version >/dev/full 2>/dev/null; then
  echo "FAIL: abaco --version reported success writing to a full disk"; failures=$((failures + 1))
fi

exit $((failures > 0))
