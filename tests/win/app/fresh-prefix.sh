#!/bin/sh
# fresh-prefix.sh PREFIX NETSH COMMAND...: runs COMMAND in a Wine prefix made anew at PREFIX,
# whose 32-bit netsh.exe is NETSH; then ends the prefix's Wine session and removes it.
set -u
export WINEPREFIX=$1 WINEDEBUG="${WINEDEBUG--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES-mscoree,mshtml=}"
netsh=$2
shift 2
rm -rf "$WINEPREFIX"
{ wineboot -i && wineserver -w; } </dev/null >/dev/null 2>&1
cp "$netsh" "$WINEPREFIX/drive_c/windows/syswow64/netsh.exe" && "$@"
status=$?
wineserver -k && wineserver -w
rm -rf "$WINEPREFIX"
exit $status
