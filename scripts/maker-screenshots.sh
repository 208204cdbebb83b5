#!/usr/bin/env bash
# Pictures of the workbench on each of its six tabs, under a virtual display with a CJK font,
# taken on a copy of the assembled maker folder with the sample project open.
# Usage: scripts/maker-screenshots.sh [build folder] [output folder]
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
OUT=${2:-$BUILD/screenshots}
TOOL=$BUILD/tests/ui/maker/makerui_screenshots
[ -x "$TOOL" ] || cmake --build "$BUILD" --target makerui_screenshots
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cp -a "$BUILD/dist/folioMake/." "$WORK/"
printf 'Book\r\n' > "$WORK/Pro.ini"
mkdir -p "$OUT"
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox"
xvfb-run -a -s "-screen 0 1280x900x24" "$TOOL" "$WORK" "$OUT"
