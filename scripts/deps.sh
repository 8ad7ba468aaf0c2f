#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Reefmere needs.
# One list, one place: the README commands and .ci/run all call this.
set -euo pipefail
PKGS=(
  build-essential cmake ninja-build pkg-config ccache clang lld
  libgtest-dev libgmock-dev libbenchmark-dev
  libgl-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri libglx-mesa0 mesa-utils
  libx11-dev libxrandr-dev libxext-dev
  libstb-dev libplist-dev libsdl2-dev libcurl4-openssl-dev libgtk-3-dev
  librsvg2-dev libwebp-dev libglib2.0-dev libglib2.0-bin
  fonts-dejavu-core libfreetype-dev
  xvfb xauth x11-utils xdotool imagemagick xscreensaver xscreensaver-gl xscreensaver-gl-extra python3
  lintian
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
