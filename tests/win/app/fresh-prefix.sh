#!/bin/sh
# fresh-prefix.sh TEMPLATE PREFIX NETSH COMMAND...: runs COMMAND with WINEPREFIX set to PREFIX, a
# copy of TEMPLATE, a prefix as Wine makes it (made first when missing, and never run in), and
# then ends PREFIX's Wine session and removes it. The copy's 32-bit netsh.exe is NETSH, which
# records the command lines it is given (Wine's own does nothing).
set -u
template=$1 prefix=$2 netsh=$3
shift 3
export WINEDEBUG="${WINEDEBUG--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES-mscoree,mshtml=}"
mkdir -p "$(dirname "$template")"
(
  flock 9
  if [ ! -f "$template/system.reg" ]; then
    WINEPREFIX=$template wineboot -i </dev/null >/dev/null 2>&1 9>&-
    WINEPREFIX=$template wineserver -w 9>&-
  fi
) 9>"$template.lock"
rm -rf "$prefix"
cp -a "$template" "$prefix" || exit 1
cp "$netsh" "$prefix/drive_c/windows/syswow64/netsh.exe"
export WINEPREFIX=$prefix
"$@"
status=$?
wineserver -k
wineserver -w
rm -rf "$prefix"
exit $status
