#!/bin/sh
# at-dpi.sh EMULATOR "DPI..." COMMAND...: runs COMMAND once for each DPI, with the screen of Wine
# at that many dots per inch (the user's LogPixels, which each Wine program reads as it starts),
# and afterwards leaves the screen at its default of 96. Fails when a run fails.
set -u
emulator=$1 dpis=$2
shift 2
desktop='HKCU\Control Panel\Desktop'
status=0
for dpi in $dpis; do
  "$emulator" reg add "$desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  "$@" || status=1
done
"$emulator" reg delete "$desktop" /v LogPixels /f >/dev/null 2>&1
exit $status
