#!/bin/sh
# wine-session.sh fresh|start: the Wine session (server and system processes) of a build's
# private prefix, started with all of its output on /dev/null before a program of ours runs in it.
#   fresh  ends what an earlier run left, creates the prefix when it is missing, starts the
#          session: the wine_session_start fixture, which runs before every test under Wine.
#   start  starts the session only when none runs (and the prefix only when it is missing): for
#          a program run by hand (wine-emu.sh).
#
# Why a session must never start inside a test: every process that Wine starts inherits the
# standard error of the program that starts it, and the first program to join a new session
# starts the system processes (services.exe, plugplay.exe, winedevice.exe ...). Started by a
# test's program, they hold that test's output open, and ctest waits for them to end: until the
# server's persistence ran out after the last program, 120 s after the run (nfs_tests printed
# its last line at 31 s and ended at 152 s). The wrapper used before started the session from
# the first test under a lock, but right after a new prefix was made, `wineserver -w` returned
# while that prefix's server was still going away: `wineserver -p` then saw a server running,
# started none, and the next test's program started the session on its own pipes.
set -u
: "${WINEPREFIX:?WINEPREFIX must name the private prefix of this build}"
export WINEPREFIX
# No Gecko or Mono installs, and no menu entries or icons in the user's home for what an
# installer under test puts in the Start menu.
export WINEDEBUG="${WINEDEBUG--all}" WINEDLLOVERRIDES="${WINEDLLOVERRIDES-mscoree,mshtml=;winemenubuilder.exe=d}"
mode=${1:-start}
# Long enough to outlast any pause between two tests; the cleanup fixture ends it sooner.
persistence=300

quiet() { "$@" </dev/null >/dev/null 2>&1 9>&-; }

# Exits 0 once this call has started a server; 2 (from wineserver) while one still runs.
start_server() { quiet wineserver -p$persistence; }

fresh() {
  quiet wineserver -k
  quiet wineserver -w
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "wine-session: creating the prefix $WINEPREFIX"
    quiet wineboot -i
    quiet wineserver -w
  fi
  # A server that was just told to end can still answer for a moment: wait for it to go.
  tries=0
  until start_server; do
    tries=$((tries + 1))
    if [ $tries -ge 100 ]; then
      echo "wine-session: the earlier Wine server of $WINEPREFIX does not end" >&2
      return 1
    fi
    sleep 0.1
  done
  # The system processes, started by a program whose output goes nowhere; returns once they run.
  quiet wine wineboot
}

mkdir -p "$WINEPREFIX"
(
  flock 9
  case $mode in
    fresh) fresh ;;
    start)
      if [ ! -f "$WINEPREFIX/system.reg" ]; then
        fresh
      elif start_server; then
        quiet wine wineboot
      fi ;;
    *) echo "usage: wine-session.sh fresh|start" >&2; exit 2 ;;
  esac
) 9>"$WINEPREFIX/.wine-session.lock"
