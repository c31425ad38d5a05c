#!/usr/bin/env bash
# Runs a test program, with its arguments, on the X server of xvfb-run with openbox as
# window manager, so that windows get frames as on a desktop.
set -u
openbox >/dev/null 2>&1 &
wm=$!
trap 'kill $wm 2>/dev/null' EXIT
# The window manager has taken the screen once it has set its supporting window.
for _ in $(seq 50); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
QT_QPA_PLATFORM=xcb "$@"
