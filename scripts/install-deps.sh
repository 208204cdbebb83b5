#!/usr/bin/env bash
# Installs every Debian package the build, the programs and the tests need.
# Idempotent: run it as often as you like; it only installs what is missing.
# With package names as arguments it installs only those (the benchmarks' own tools).
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive

PACKAGES=(
  build-essential cmake ninja-build pkg-config clang-format
  googletest libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-webengine-dev-tools
  qt6-multimedia-dev qt6-speech-dev qt6-speech-flite-plugin
  libqt6opengl6-dev libgl-dev
  gstreamer1.0-plugins-good gstreamer1.0-plugins-base
  libcurl4-openssl-dev libgumbo-dev linkchecker libminizip-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  python3 python3-pefile icoutils
  xvfb xauth x11-utils xdotool imagemagick fonts-wqy-microhei
  espeak-ng espeak-ng-data flite pulseaudio pulseaudio-utils sox libsox-fmt-mp3
  speech-dispatcher speech-dispatcher-espeak-ng
  wine wine32
  clang-16 libclang-rt-16-dev
  fp-utils libchm-bin
  epubcheck calibre zip
  chromium
  xdg-utils shared-mime-info libfile-mimeinfo-perl libglib2.0-bin desktop-file-utils dpkg-dev
)
if [ "$#" -gt 0 ]; then
  PACKAGES=("$@")
fi

# wine32 lives in Debian's i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  NEED_UPDATE=1
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
elif [ -n "${NEED_UPDATE:-}" ]; then
  $SUDO apt-get update -q
fi
echo "install-deps: all packages present"
