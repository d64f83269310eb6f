#!/bin/sh
# Runs a command with DISPLAY on a private Xvfb server that lives as long as the command, so
# Wine programs can create windows on a machine without a desktop. Xvfb picks a free display
# number itself and tells us when it is ready to accept connections. XVFB_SCREEN sets the
# screen's size and depth (640x480x24 unless given).
set -u
dir=$(mktemp -d) || exit 1
xvfb=""
cleanup() {
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 143' TERM INT
mkfifo "$dir/display"
Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-640x480x24}" -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
xvfb=$!
display=$(timeout 20 head -n 1 "$dir/display")
if [ -z "$display" ]; then
  echo "with-xvfb: Xvfb did not start" >&2
  cat "$dir/xvfb.log" >&2
  exit 1
fi
DISPLAY=":$display" "$@"
