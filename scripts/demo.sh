#!/usr/bin/env bash
# The main job, headless: set everything up, compile the bundled sample book, show what was built
# (descriptor, resources, an independent PE check), then open it in the Linux reader under a
# virtual display and save a screenshot.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh

DIST=build/dist/folioMake
# The maker's own output folder: a book there finds the reader in the maker folder.
OUT=$DIST/out
rm -rf "$OUT"
mkdir -p "$OUT"

echo "== compiling the sample project $DIST/Book"
"$DIST/folio" compile "$DIST/Book" --out "$OUT"
BOOK=$(ls "$OUT"/*.exe | head -n 1)

echo "== what was built: $BOOK"
ls -l "$OUT"
"$DIST/folio" info "$BOOK"

echo "== checked by pefile and wrestool"
/usr/bin/python3 - "$BOOK" <<'PY'
import sys, pefile
pe = pefile.PE(sys.argv[1])
print("pefile: machine 0x%x, %d sections, checksum ok: %s" % (
    pe.FILE_HEADER.Machine, pe.FILE_HEADER.NumberOfSections, pe.verify_checksum()))
for t in pe.DIRECTORY_ENTRY_RESOURCE.entries:
    tname = str(t.name) if t.name is not None else str(t.id)
    print("  type %s: %d entries" % (tname, len(t.directory.entries)))
PY
wrestool -l "$BOOK" | head -n 12

echo "== opening it as a program: $BOOK (its shell header starts folioPage; virtual display)"
export QTWEBENGINE_DISABLE_SANDBOX=1
export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox"
SHOT="$PWD/build/demo-folioPage.png"
xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
  "$1" & pid=$!
  for i in $(seq 1 60); do
    if xdotool search --onlyvisible --name "^folioPage-" >/dev/null 2>&1; then break; fi
    sleep 0.5
  done
  sleep 4
  for w in $(xdotool search --onlyvisible --name "^folioPage"); do
    echo "window caption: $(xdotool getwindowname "$w")"
  done
  import -window root "$2"
  kill $pid; wait $pid 2>/dev/null || true
'  _ "$BOOK" "$SHOT"
echo "== screenshot: $SHOT"

echo "== the maker workbench folioMake on the sample project (virtual display)"
# The workbench reopens the last project of its list: make that the sample when there is none.
[ -f "$DIST/Pro.ini" ] || printf 'Book\r\n' > "$DIST/Pro.ini"
MAKERSHOT="$PWD/build/demo-folioMake.png"
xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
  "$1" & pid=$!
  for i in $(seq 1 60); do
    if xdotool search --onlyvisible --name "^folioMake$" >/dev/null 2>&1; then break; fi
    sleep 0.5
  done
  sleep 4
  for w in $(xdotool search --onlyvisible --name "^folioMake$"); do
    echo "window caption: $(xdotool getwindowname "$w")"
  done
  import -window root "$2"
  kill $pid; wait $pid 2>/dev/null || true
'  _ "$DIST/folioMake" "$MAKERSHOT"
echo "== screenshot: $MAKERSHOT"
