#!/bin/sh
# host-requests.sh SCREENSHOTS COMMAND...: runs COMMAND (the window tests under Wine) and answers,
# while it runs, what it asks of the Linux side through files in a private folder named to it
# in QDV_HOST_REQUESTS:
#   NAME.shot  a picture of the whole X screen (DISPLAY) is saved as SCREENSHOTS/NAME.png;
#   NAME.run   the one command line in it runs under sh: its output (stdout and stderr) goes to
#              NAME.out, then its exit status to NAME.status.
# Each request file is removed once it is answered, which tells the tests it is done.
set -u
shots=$1
shift
mkdir -p "$shots"
requests=$(mktemp -d) || exit 1
QDV_HOST_REQUESTS=$requests "$@" &
command=$!
trap 'kill "$command" 2>/dev/null' TERM INT
while kill -0 "$command" 2>/dev/null; do
  for request in "$requests"/*.shot "$requests"/*.run; do
    [ -e "$request" ] || continue
    name=${request%.*}
    case $request in
      *.shot) import -display "$DISPLAY" -window root "$shots/$(basename "$name").png" ;;
      *.run)
        sh -c "$(cat "$request")" >"$name.out" 2>&1 </dev/null
        echo $? >"$name.status.part"
        mv "$name.status.part" "$name.status" ;;
    esac
    rm -f "$request"
  done
  sleep 0.05
done
wait "$command"
status=$?
rm -rf "$requests"
exit $status
