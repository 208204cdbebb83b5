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

# A mirror caught mid-sync fails one index now and then: try again, and then go on with the
# lists that did arrive (the install itself says clearly what it could not find).
update_lists() {
  for attempt in 1 2 3; do
    if $SUDO apt-get update -q; then
      return 0
    fi
    echo "install-deps: the package lists did not all arrive (attempt $attempt of 3)" >&2
    sleep $((attempt * 10))
  done
  # An index the mirror serves at another size than its Release file names (a sync caught
  # half way) is taken as served, so that its packages can be found; the mirror's newer
  # Release file will replace it at the next update.
  $SUDO apt-get update -q 2>&1 | sed -n 's/^E: Failed to fetch \(http[^ ]*\.xz\)  File has unexpected size.*/\1/p' |
    while read -r url; do
      list=/var/lib/apt/lists/$(echo "${url%.xz}" | sed 's|^http://||; s|/|_|g')
      echo "install-deps: taking $url as the mirror serves it" >&2
      $SUDO /usr/lib/apt/apt-helper download-file "$url" "$list.xz" > /dev/null 2>&1 || true
    done
  echo "install-deps: going on with the package lists that arrived" >&2
}

if [ "${#missing[@]}" -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  update_lists
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
elif [ -n "${NEED_UPDATE:-}" ]; then
  update_lists
fi
echo "install-deps: all packages present"
