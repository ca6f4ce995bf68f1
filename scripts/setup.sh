#!/usr/bin/env bash
# Installs every Debian package the build, tests, tools and demo need.
# Idempotent: only missing packages are installed, and the package lists are
# refreshed only when something has to be installed.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git ccache
  juce-modules-source juce-tools lv2-dev
  libasound2-dev libjack-jackd2-dev libfreetype-dev libfontconfig1-dev
  libx11-dev libxext-dev libxinerama-dev libxrandr-dev libxcursor-dev libxcomposite-dev libxrender-dev
  libcurl4-gnutls-dev libgtk-3-dev libwebkit2gtk-4.0-dev libgl-dev
  libflac-dev libogg-dev libvorbis-dev libpng-dev libjpeg-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  lilv-utils jalv
  xvfb xauth fonts-dejavu-core
  espeak-ng sox
  valgrind clang libclang-rt-14-dev
  calf-plugins mda-lv2
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "setup: installing ${missing[*]}"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
