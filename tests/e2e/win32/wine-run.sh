#!/bin/sh
# Runs one command with the tests' Wine prefix ready, under a virtual X display, one run at a
# time (the prefix's wineserver is shared), and stops Wine afterwards.
#   WINEPREFIX=... wine-run.sh COMMAND [ARG...]
set -u
: "${WINEPREFIX:?WINEPREFIX must name the tests' Wine prefix}"
export WINEDEBUG=-all
mkdir -p "$WINEPREFIX"
exec 9>"$WINEPREFIX.lock"
flock -w 600 9 || { echo "wine-run.sh: $WINEPREFIX is busy" >&2; exit 1; }
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    # No installer prompts for the .NET and browser engine add-ons while the prefix is made.
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
    wineserver -w
fi
timeout 300 xvfb-run -a "$@"
rc=$?
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
exit $rc
