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
sh "$(dirname "$0")/start_installed.sh" "$prefix/bin/fusewerk"
