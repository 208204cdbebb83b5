#!/usr/bin/env bash
# Installs the Debian packages only the start-up benchmark needs: the ZIM reader it measures
# folioPage against and the library that writes its ZIM file. Not part of the build's or the
# tests' dependencies (scripts/install-deps.sh); Xvfb and xdotool come from there.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive

PACKAGES=(kiwix python3-libzim xvfb xdotool)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "bench install-deps: installing ${missing[*]}"
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
echo "bench install-deps: all packages present"
