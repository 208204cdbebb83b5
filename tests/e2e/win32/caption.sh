#!/bin/sh
# Starts a Windows program under Wine and prints the caption of its reading window once the
# window is shown; exit 1 when none is shown within the tests' wait bound.
#   caption.sh PROGRAM.exe
. "$(dirname "$0")/../../tools/waits.sh"
wine "$1" >/dev/null 2>&1 &
# The reading window is shown only at the end of its start-up, once its caption is chosen
# (the book's title and author, or the plain caption of the about page): a window still
# starting is not mapped, so the caption read from a mapped one is the one it keeps.
shown() {
    id=$(xdotool search --onlyvisible --name '^folioPage' 2>/dev/null | head -1)
    [ -n "$id" ]
}
wait_until shown || { echo "caption.sh: no folioPage window shown" >&2; exit 1; }
xprop -id "$id" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
