#!/bin/sh
# Runs a command with DISPLAY set to a private Xvfb server, started here on a free display
# and stopped afterwards (after the Wine server of WINEPREFIX, when set, has ended); exits with
# the command's status.
set -u
dir=$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>"$dir/log" &
server=$!
tries=0
while [ ! -s "$dir/display" ]; do
  tries=$((tries + 1))
  if [ "$tries" -gt 100 ] || ! kill -0 "$server" 2>/dev/null; then
    echo "Xvfb did not start:"
    cat "$dir/log"
    kill "$server" 2>/dev/null
    rm -rf "$dir"
    exit 1
  fi
  sleep 0.1
done
DISPLAY=":$(cat "$dir/display")"
export DISPLAY
"$@"
status=$?
# Under Wine, the prefix's desktop is bound to this display: let the prefix's server end (and
# the desktop with it) while the display is still there, so the next test that draws starts
# afresh instead of meeting a server on its way out.
if [ -n "${WINEPREFIX:-}" ]; then
  wineserver -w
fi
kill "$server" 2>/dev/null
wait "$server" 2>/dev/null
rm -rf "$dir"
exit "$status"
