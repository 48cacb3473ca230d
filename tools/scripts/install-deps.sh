#!/usr/bin/env bash
# Installs the Debian packages Nightbite needs to build, play and test.
# Runs "apt-get update" once, and only when something is missing.
set -euo pipefail
PACKAGES=(
    cmake g++ make pkg-config dpkg-dev
    libogre-1.12-dev ogre-1.12-tools libois-dev liblua5.1-0-dev
    libsdl2-dev libsdl2-mixer-dev libx11-dev libfreetype-dev fonts-dejavu-core
    xvfb xdotool imagemagick x11-utils x11-xkb-utils
    libgtest-dev libbenchmark-dev libfftw3-dev sox
    fluidsynth fluid-soundfont-gm espeak-ng
)
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
SUDO=
[ "$(id -u)" = 0 ] || SUDO=sudo
echo "Installing: ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
