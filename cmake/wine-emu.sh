#!/bin/sh
# ctest's emulator for the Windows build: runs one program under Wine in the build's private
# prefix. The first caller of a run starts the Wine session (server and system processes) with
# its stdio on /dev/null: a session started by a test would inherit the test's pipes, and ctest
# would then wait for the session to end after every test.
: "${WINEPREFIX:?WINEPREFIX must name the private prefix of this build}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES-mscoree,mshtml=}"
mkdir -p "$WINEPREFIX"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot -i </dev/null >/dev/null 2>&1 9>&-
    wineserver -w 9>&-
  fi
  # Exits 2 when a server already runs; otherwise starts one that ends 120 s after its last client.
  if wineserver -p120 </dev/null >/dev/null 2>&1 9>&-; then
    wine wineboot </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$WINEPREFIX/.wine-emu.lock"
exec wine "$@"
