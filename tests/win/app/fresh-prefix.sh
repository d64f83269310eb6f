#!/bin/sh
# fresh-prefix.sh PREFIX NETSH COMMAND...: runs COMMAND in a Wine prefix made anew at PREFIX,
# whose 32-bit netsh.exe is NETSH; then ends the prefix's Wine session and removes it. The
# session is started as the build's own is (cmake/wine-session.sh), never by COMMAND's programs.
set -u
export WINEPREFIX=$1
netsh=$2
shift 2
rm -rf "$WINEPREFIX"
sh "$(dirname "$0")/../../../cmake/wine-session.sh" fresh >/dev/null || exit 1
cp "$netsh" "$WINEPREFIX/drive_c/windows/syswow64/netsh.exe" && "$@"
status=$?
wineserver -k && wineserver -w
rm -rf "$WINEPREFIX"
exit $status
