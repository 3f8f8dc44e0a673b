#!/usr/bin/env bash
# Runs one command on a private Xvfb display with a small window manager
# (openbox), and stops both afterwards, whatever the command's outcome.
# Usage: scripts/with-xvfb.sh COMMAND [ARG...]
set -uo pipefail

display=""
for n in $(seq 90 189); do
  if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then display=":$n"; break; fi
done
[ -n "$display" ] || { echo "with-xvfb: no free display" >&2; exit 1; }

Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
wm_pid=""
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT

export DISPLAY="$display"
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
xdpyinfo >/dev/null 2>&1 || { echo "with-xvfb: Xvfb did not start" >&2; exit 1; }

openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
# The window manager is ready once it has claimed the root window.
for _ in $(seq 1 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.05
done

unset QT_QPA_PLATFORM
"$@"
