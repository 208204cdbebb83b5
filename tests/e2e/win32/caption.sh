#!/bin/sh
# Starts a Windows program under Wine and prints the caption of its reading window once it
# has settled; exit 1 when no such window appears within 60 seconds.
#   caption.sh PROGRAM.exe
wine "$1" >/dev/null 2>&1 &
id=
i=0
while [ $i -lt 240 ]; do
    id=$(xdotool search --name '^folioPage' 2>/dev/null | head -1)
    [ -n "$id" ] && break
    sleep 0.25
    i=$((i + 1))
done
[ -n "$id" ] || { echo "caption.sh: no folioPage window" >&2; exit 1; }
# Let start-up finish (the failure path writes the about page after the first caption).
sleep 2
xprop -id "$id" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
