#!/bin/sh
# screenshot-on-request.sh FOLDER COMMAND...: runs COMMAND with QDV_SCREENSHOT_DIR=FOLDER. While
# it runs, every FOLDER/NAME.request it writes is answered with a picture of the whole X screen
# (DISPLAY) as FOLDER/NAME.png, and the request is removed to say the picture is taken.
set -u
folder=$1
shift
mkdir -p "$folder"
rm -f "$folder"/*.request
QDV_SCREENSHOT_DIR=$folder "$@" &
command=$!
trap 'kill "$command" 2>/dev/null' TERM INT
while kill -0 "$command" 2>/dev/null; do
  for request in "$folder"/*.request; do
    [ -e "$request" ] || continue
    import -display "$DISPLAY" -window root "${request%.request}.png"
    rm -f "$request"
  done
  sleep 0.1
done
wait "$command"
