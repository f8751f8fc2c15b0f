#!/usr/bin/env bash
# Builds the Debian package build/brunzit_<version>_amd64.deb (after
# installing what is missing). The build folder is configured for /usr.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
# Only what the package holds; the tests are not needed for it.
cmake --build build -j"$(nproc)" --target brunzit abaco Abaco32 BrunzitMouseHook desktop_data
rm -f build/brunzit_*.deb
(cd build && cpack -G DEB >/dev/null)
ls build/brunzit_*.deb
