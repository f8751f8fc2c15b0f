#!/usr/bin/env bash
# Builds brunzit and starts the talking editor.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
exec build/bin/brunzit
