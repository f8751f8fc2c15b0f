#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config git ccache
  qt6-base-dev libgl-dev qt6-translations-l10n
  libgtest-dev libgmock-dev
  libespeak-ng-dev espeak-ng-data espeak-ng
  libspeechd-dev libpulse-dev
  libx11-dev libxtst-dev libxi-dev
  libmuparser-dev
  xvfb xauth xdotool x11-utils sox
  dpkg-dev fakeroot file lintian desktop-file-utils appstream librsvg2-bin
  dbus-daemon dbus-bin at-spi2-core python3-pyatspi
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq -o DPkg::Lock::Timeout=600 --no-install-recommends "${missing[@]}"
