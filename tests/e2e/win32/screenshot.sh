#!/bin/sh
# Takes a picture of the virtual display while the probe holds a book's reading window open:
# run under wine-run.sh, in the book's folder.
#   screenshot.sh PICTURE.png BOOK.exe [PROBE COMMAND...]
set -u
picture=$1
shift
. "$(dirname "$0")/../../tools/waits.sh"
log=$(mktemp)
wine probe.exe "$@" wait 6000 >"$log" 2>&1 &
probe=$!
# The probe names the window's caption once it has found the window.
wait_until grep -q '^caption ' "$log"
sleep 3
import -window root "$picture"
wait $probe
cat "$log"
rm -f "$log"
