#!/usr/bin/env bash
# Runs a window test script under an X server and a D-Bus session of its own (the accessibility bus
# starts on demand in that session). The X server picks a free display itself, so runs beside other
# X servers never meet; it does not reset when its last client leaves, so the program can start again. Exit status 77 (skipped) when the X server or the accessibility client is not
# installed. KV_FAILURE_SCREENSHOT=FILE keeps the screen of a failed test in FILE.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
script=$1
shift
if ! command -v Xvfb >/dev/null || ! command -v dbus-run-session >/dev/null || ! command -v xdotool >/dev/null ||
   ! /usr/bin/python3 -c "import pyatspi" 2>/dev/null; then
  echo "Xvfb, dbus, xdotool or python3-pyatspi missing: skipped"
  exit 77
fi
work=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 "${KV_SCREEN:-1600x1000x24}" -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; wait $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 200); do
  [ -s "$work/display" ] && break
  kill -0 $xvfb 2>/dev/null || { cat "$work/xvfb.log"; exit 1; }
  sleep 0.05
done
export DISPLAY=:$(head -n1 "$work/display")
export XDG_RUNTIME_DIR=$work
dbus-run-session -- /usr/bin/python3 "$here/$script" "$@"
