#!/bin/sh
# Builds the Debian package from this build, checks its control fields and files, unpacks it into a
# scratch root and starts the installed program offscreen.
set -eu
build="$1"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$build" && cpack -G DEB -B "$scratch/out" > "$scratch/cpack.log") || { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/out/fusewerk_*_amd64.deb)
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = fusewerk ] || { echo "Package: $(field Package)"; exit 1; }
[ "$(field Architecture)" = amd64 ] || { echo "Architecture: $(field Architecture)"; exit 1; }
for dep in avrdude libqt6widgets6 libqt6core6 libqt6gui6 libqt6serialport6 libqt6multimedia6; do
  field Depends | tr ',' '\n' | grep -q "^ *$dep\b" || { echo "Depends lacks $dep: $(field Depends)"; exit 1; }
done
dpkg-deb -c "$deb" | awk '{print $6}' > "$scratch/files"
for f in usr/bin/fusewerk usr/share/applications/fusewerk.desktop usr/share/icons/hicolor/scalable/apps/fusewerk.svg \
         usr/share/doc/fusewerk/README.md; do
  grep -qx "./$f" "$scratch/files" || { echo "missing in the package: $f"; exit 1; }
done
for size in 16 32 48 64 128 256; do
  grep -qx "./usr/share/icons/hicolor/${size}x${size}/apps/fusewerk.png" "$scratch/files" ||
    { echo "missing icon ${size}x${size}"; exit 1; }
done
dpkg -x "$deb" "$scratch/root"
mkdir -p "$scratch/home"
HOME="$scratch/home" sh "$(dirname "$0")/start_installed.sh" "$scratch/root/usr/bin/fusewerk"
