#!/bin/sh
# Installs into a temporary prefix and starts the installed program offscreen.
set -eu
build="$1"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null
for f in bin/fusewerk share/applications/fusewerk.desktop share/icons/hicolor/scalable/apps/fusewerk.svg; do
  [ -f "$prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
grep -q '^Categories=Development;Electronics;' "$prefix/share/applications/fusewerk.desktop"
grep -q '^Exec=fusewerk' "$prefix/share/applications/fusewerk.desktop"
# The program starts and keeps running until it is told to stop.
cd "$prefix"
QT_QPA_PLATFORM=offscreen "$prefix/bin/fusewerk" &
pid=$!
sleep 2
kill -0 "$pid" || { echo "the installed program did not keep running"; exit 1; }
kill "$pid"
wait "$pid" 2>/dev/null || true
echo "1 passed, 0 failed"
