#!/bin/sh
# Runs one command with the tests' Wine prefix ready, under a virtual X display, one run at a
# time (the prefix's wineserver is shared), and stops Wine afterwards.
#   WINEPREFIX=... wine-run.sh COMMAND [ARG...]
set -u
: "${WINEPREFIX:?WINEPREFIX must name the tests' Wine prefix}"
. "$(dirname "$0")/../../tools/waits.sh"
# FOLIO_WINEDEBUG shows some of Wine's debug channels ("+debugstr": what programs log).
export WINEDEBUG=${FOLIO_WINEDEBUG:--all}
mkdir -p "$WINEPREFIX"
exec 9>"$WINEPREFIX.lock"
# Another test's run may hold the prefix for as long as its own run may last.
flock -w $((4 * FOLIO_WAIT_SECONDS)) 9 || { echo "wine-run.sh: $WINEPREFIX is busy" >&2; exit 1; }
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    # No installer prompts for the .NET and browser engine add-ons while the prefix is made.
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
    wineserver -w
fi
# Long enough for one of the command's waits to reach the bound and report, then stopped.
timeout $((3 * FOLIO_WAIT_SECONDS)) xvfb-run -a "$@"
rc=$?
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
exit $rc
