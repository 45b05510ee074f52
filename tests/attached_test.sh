#!/bin/sh
# "fusewerk --attached" on made-up USB devices (umockdev): a USBasp, an Arduino Uno on /dev/ttyACM0,
# an FT232R adapter on /dev/ttyUSB0, a second V-USB programmer on the USBasp's id told apart by its
# strings (a user's own avrdude entry), nothing at all, and devices the user may not open.
set -u
program="$1"
devices="$(dirname "$0")/umockdev"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
chmod 755 "$home"
# A programmer of the user's own on the USBasp's id, with its own strings.
cat > "$home/.avrduderc" <<'RC'
programmer parent "usbasp"
    id = "myisp";
    desc = "MyISP, a V-USB programmer";
    usbvendor = "example.org";
    usbproduct = "MyISP";
;
RC
# The boards' USB ids come from the installed cores: a core of the user's own with the Uno's, as
# Debian's arduino-core-avr gives them (where that is installed too, its Uno comes first).
mkdir -p "$home/Arduino/hardware/fixture/avr"
printf 'name=Fixture core\nversion=1.0.0\n' > "$home/Arduino/hardware/fixture/avr/platform.txt"
printf 'uno.name=Arduino UNO\nuno.vid.0=0x2341\nuno.pid.0=0x0043\nuno.upload.protocol=arduino\nuno.build.mcu=atmega328p\n' \
  > "$home/Arduino/hardware/fixture/avr/boards.txt"
fail=0
run() {  # run <shell command run inside the made-up machine, with $F for fusewerk> <device files...>
  command="$1"; shift
  set -- $(for d in "$@"; do printf -- '--device %s/%s.umockdev ' "$devices" "$d"; done)
  env -u DISPLAY HOME="$home" XDG_CACHE_HOME="$home/cache" F="$program" umockdev-run "$@" -- sh -c "$command" 2>&1
}
expect() {  # expect <what> <output> <line expected, exactly>
  if ! printf '%s\n' "$2" | grep -qxF -- "$3"; then
    echo "$1: no line \"$3\" in:"; printf '%s\n' "$2"; fail=1
  fi
}
tab=$(printf '\t')

# Everything plugged in, every node the user's to open.
out=$(run 'chmod 666 "$UMOCKDEV_DIR"/dev/bus/usb/*/* "$UMOCKDEV_DIR"/dev/tty*; "$F" --attached; echo "exit $?"' hubs usbasp uno ft232r myisp)
expect "all" "$out" "usb 001/002${tab}16c0:05dc${tab}USBasp (www.fischl.de)${tab}-c usbasp -P usb (or -c usbasp-clone)"
printf '%s\n' "$out" | grep -qxE "/dev/ttyACM0${tab}2341:0043${tab}Arduino Uno \(Arduino \(www.arduino.cc\)\)${tab}-P /dev/ttyACM0: Arduino UNO \((arduino|fixture):avr:uno\), -c arduino" ||
  { echo "all: no Uno line in:"; printf '%s\n' "$out"; fail=1; }
expect "all" "$out" "/dev/ttyUSB0${tab}0403:6001${tab}FT232R USB UART (FTDI)${tab}-P /dev/ttyUSB0: a serial adapter (ftdi_sio)"
expect "all" "$out" "usb 002/002${tab}16c0:05dc${tab}MyISP (example.org)${tab}-c myisp -P usb (or -c usbasp-clone)"
expect "all" "$out" "exit 0"
[ "$(printf '%s\n' "$out" | grep -c "$tab")" = 4 ] || { echo "all: not four devices:"; printf '%s\n' "$out"; fail=1; }

# Nothing at all, and the root hubs alone.
out=$(run '"$F" --attached; echo "exit $?"')
expect "nothing" "$out" "Nothing attached: no USB programmer, board or serial adapter was found."
expect "nothing" "$out" "exit 0"
out=$(run '"$F" --attached; echo "exit $?"' hubs)
expect "hubs" "$out" "Nothing attached: no USB programmer, board or serial adapter was found."

# Nodes the user may not open: the fix for each, said. As root the program runs as nobody (root
# opens anything); the port is then the dialout group's, which nobody is not in.
if [ "$(id -u)" = 0 ]; then
  out=$(run 'chmod 755 "$UMOCKDEV_DIR"; chmod 600 "$UMOCKDEV_DIR"/dev/bus/usb/001/002;
             chgrp dialout "$UMOCKDEV_DIR"/dev/ttyACM0; chmod 660 "$UMOCKDEV_DIR"/dev/ttyACM0;
             setpriv --reuid=65534 --regid=65534 --clear-groups "$F" --attached' hubs usbasp uno)
  expect "closed" "$out" "${tab}/dev/ttyACM0 belongs to the group dialout: join it with \"sudo usermod -aG dialout \$USER\", then log out and in again"
else
  out=$(run 'chmod 000 "$UMOCKDEV_DIR"/dev/bus/usb/001/002; "$F" --attached' hubs usbasp uno)
fi
expect "closed" "$out" "    SUBSYSTEM==\"usb\", ATTR{idVendor}==\"16c0\", ATTR{idProduct}==\"05dc\", MODE=\"0660\", TAG+=\"uaccess\""
expect "closed" "$out" "${tab}/dev/bus/usb/001/002 cannot be opened by you: put the line"
[ "$fail" = 0 ] && echo "attached: every case as expected"
exit $fail
