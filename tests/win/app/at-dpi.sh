#!/bin/sh
# at-dpi.sh EMULATOR "DPI..." COMMAND...: runs COMMAND once at each DPI (the user's LogPixels,
# which each Wine program reads as it starts), then leaves Wine's screen at its default, 96.
set -u
emulator=$1 dpis=$2 status=0
shift 2
for dpi in $dpis; do
  "$emulator" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  "$@" || status=1
done
"$emulator" reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
exit $status
