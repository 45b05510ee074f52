#!/bin/sh
# Starts an installed fusewerk offscreen and checks that it keeps running; prints the closing line.
set -eu
QT_QPA_PLATFORM=offscreen "$1" &
pid=$!
sleep 2
kill -0 "$pid" || { echo "the installed program did not keep running"; exit 1; }
kill "$pid"
wait "$pid" 2>/dev/null || true
echo "1 passed, 0 failed"
