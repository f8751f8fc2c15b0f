#!/usr/bin/env bash
# Builds everything and runs every test headless (offscreen Qt, Xvfb where a
# real X server is needed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh

export QT_QPA_PLATFORM=offscreen
# Keep the tests' settings files away from the user's own.
export XDG_CONFIG_HOME="$(mktemp -d)"
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT

status=0
ctest --test-dir build --output-on-failure -j"$(nproc)" || status=1

for extra in scripts/test-calc-sanitized.sh scripts/test-abaco32-windows.sh scripts/test-package.sh; do
  if [ -x "$extra" ]; then
    echo "== $extra"
    "$extra" || status=1
  fi
done

if [ $status -eq 0 ]; then echo "All test stages passed."; else echo "Some test stage failed."; fi
exit $status
