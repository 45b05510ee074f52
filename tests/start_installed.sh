#!/bin/sh
# Starts an installed fusewerk offscreen, waits until it handles SIGTERM (set up just before its
# event loop runs), tells it to end, and checks that it ended cleanly and saved its settings where an
# installed copy keeps them: beside the program, or in the user's configuration folder.
set -eu
program="$1"
QT_QPA_PLATFORM=offscreen "$program" &
pid=$!
handles_term() {
  mask=$(sed -n 's/^SigCgt:[[:space:]]*//p' "/proc/$pid/status" 2>/dev/null) || return 1
  [ -n "$mask" ] && [ $(( (0x$mask >> 14) & 1 )) -eq 1 ]
}
tries=0
until handles_term; do
  kill -0 "$pid" 2>/dev/null || { echo "the installed program did not keep running"; exit 1; }
  tries=$((tries + 1))
  [ "$tries" -lt 1200 ] || { echo "the installed program did not get ready within a minute"; kill -9 "$pid"; exit 1; }
  sleep 0.05
done
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || { echo "the installed program ended with status $status"; exit 1; }
[ -f "$(dirname "$program")/Fusewerk.ini" ] || [ -f "$HOME/.config/Fusewerk/Fusewerk.ini" ] ||
  { echo "the installed program saved no settings when told to end"; exit 1; }
echo "1 passed, 0 failed"
