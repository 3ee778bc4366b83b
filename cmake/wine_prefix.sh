#!/bin/sh
# Readies and ends the Wine prefix of a test run (the CTest fixtures of the win32 build).
#   wine_prefix.sh start PREFIX [keep]
#     Creates or updates the prefix with a single Wine process before any test runs: Wine
#     processes that start together in a new prefix race to create it, and the losers fail
#     ("could not load kernel32.dll"). With keep, then starts a Wine server that stays until
#     stop: Debian's wineserver ends as soon as its last program does, so without it tests that
#     start while another ends would meet a server starting or shutting down.
#   wine_prefix.sh stop PREFIX
#     Ends every Wine process of the prefix and its server.
# Wine's own messages are shown, so a failed start says why.
set -u
export WINEPREFIX="$2"
case "$1" in
  start)
    # Whatever an earlier, interrupted run left in this prefix.
    wineserver -k 2>/dev/null
    wineserver -w
    # Wine's messages go to a log, shown below: the programs that Wine starts for the prefix
    # (services, devices) would otherwise hold this test's output open for as long as they run.
    log="$WINEPREFIX.log"
    wineboot >"$log" 2>&1 </dev/null
    status=$?
    wineserver -w
    if [ "$status" -eq 0 ] && [ "${3:-}" = keep ]; then
      # The lasting server, then the prefix's own programs under it, started here once so that
      # no test starts them (and waits for them).
      wineserver -p >>"$log" 2>&1 </dev/null && wineboot >>"$log" 2>&1 </dev/null
      status=$?
    fi
    cat "$log"
    if [ "$status" -ne 0 ]; then
      echo "Wine could not start in $WINEPREFIX: see Wine's messages above"
      exit 1
    fi
    echo "Wine prefix ready: $WINEPREFIX"
    ;;
  stop)
    # Nothing to end is not a failure (a prefix that start could not ready, say).
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    exit 0
    ;;
  *)
    echo "usage: $0 start|stop PREFIX [keep]"
    exit 2
    ;;
esac
