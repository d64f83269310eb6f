#!/bin/sh
# ctest's emulator for the Windows build: runs one program under Wine in the build's private
# prefix. The session it joins was started by the wine_session_start fixture (wine-session.sh
# tells why no test may start it); a program run by hand gets one started here first. The
# program keeps this process, so signals reach it; run-until-exit.py passes its output on.
: "${WINEPREFIX:?WINEPREFIX must name the private prefix of this build}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES-mscoree,mshtml=;winemenubuilder.exe=d}"
here=$(dirname "$0")
sh "$here/wine-session.sh" start || exit 1
exec python3 "$here/run-until-exit.py" wine "$@"
