#!/bin/sh
# Runs a command on the xcb platform on a private virtual X server (the first
# free display, chosen by the server itself) managed by openbox: stacking and
# focus faults show only under a window manager. Ends what it started.
tmp=$(mktemp -d)
trap 'kill $wm $xvfb 2>/dev/null; rm -rf "$tmp"' EXIT
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$tmp/display")"
openbox --sm-disable >/dev/null 2>&1 &
wm=$!
# Ready once it has announced itself on the root window.
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
QT_QPA_PLATFORM=xcb "$@"
