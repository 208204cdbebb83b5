#!/usr/bin/env bash
# Installs the Debian packages only the start-up benchmark needs: the ZIM reader it measures
# folioPage against and the library that writes its ZIM file. Not part of the build's or the
# tests' dependencies; Xvfb and xdotool come with those.
set -euo pipefail
exec bash "$(dirname "$0")/../../scripts/install-deps.sh" kiwix python3-libzim xvfb xdotool
