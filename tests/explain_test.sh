#!/bin/sh
# "fusewerk --explain": classic parts and parts with fuses of their own, an unknown or empty part, values that are not one hex byte or
# are given twice, a byte the part lacks, output that cannot be written; no display.
set -u
program="$1"
fail=0
check() {  # check <expected status> <text expected in the output> <arguments...>
  want="$1"; text="$2"; shift 2
  out=$(env -u DISPLAY "$program" --explain "$@" 2>&1); status=$?
  if [ "$status" != "$want" ] || ! printf '%s\n' "$out" | grep -qF -- "$text"; then
    echo "--explain $*: status $status (wanted $want), output:"; printf '%s\n' "$out"; fail=1
  fi
}
check 0 "SUT_CKSEL = 0x21: Int. RC Osc. 1 MHz" ATmega8 lfuse=E1 hfuse=D9
check 0 "BOOTSZ = 0x00: Boot Flash size=1024 words" ATmega8 lfuse=E1 hfuse=D9
check 0 "ATmega328P (signature 1E950F), factory defaults" m328p
check 0 "lock = 0xFF" m328p
check 0 "Warning: lfuse = 0xFF: Clock source" ATmega328P lfuse=FF hfuse=DE efuse=FD
check 0 "Warning: hfuse = 0x5F: RSTDISBL" attiny85 hfuse=5F
check 0 "Warning: lock = 0xFE: LB1 (lock mode 2): further programming" ATmega8 lock=FE
check 2 "no device data for the part \"ATmega9999\"" ATmega9999
check 2 "is not lfuse=HH" ATmega8 lfuse=1E1
check 2 "is not lfuse=HH" ATmega8 fuse=E1
check 2 "the ATmega8 has no efuse" ATmega8 efuse=FF
check 2 "no device data for the part \"\"" ""
check 2 "lfuse is given twice" ATtiny85 lfuse=E5 lfuse=E1
check 0 "RSTDISBL = 1 (unprogrammed): off, not \"Reset Disabled" ATtiny85 hfuse=DF
check 0 "Warning: lfuse = 0xE5: Clock source" ATtiny85 lfuse=E5
# Parts with fuses of their own, by any of avrdude's names for them.
check 0 "RSTPINCFG = 0x01: UPDI mode" t1614
check 0 "Warning: syscfg0 (fuse5) = 0xC0: RSTPINCFG: the UPDI pin becomes \"GPIO mode\"" t1614 syscfg0=C0 bodcfg=00
check 0 "RSTPINCFG = 0x02: Reset mode" ATtiny1614 fuse5=C8
check 0 "Warning: fuse = 0xFE: RSTDISBL" t10 fuse=FE
check 0 "KEY = 0x5CC5C55C: No locks" avr128db28
check 0 "there are no fuse descriptions for this part" x128a1u
check 2 "is not MEMORY=VALUE for a fuse memory of the ATtiny1614" t1614 lfuse=E1
check 2 "syscfg0 (fuse5) is given twice" t1614 fuse5=C4 syscfg0=C4
env -u DISPLAY "$program" --explain ATtiny85 hfuse=DF > /dev/full 2>/dev/null && { echo "output to /dev/full: exit 0"; fail=1; }
out=$(env -u DISPLAY "$program" --explain ATmega8 lfuse=E1 2>/dev/null | grep -c '^Warning')
[ "$out" = 0 ] || { echo "ATmega8 E1 has no lock-out risk, yet $out warnings"; fail=1; }
# --board-lines with a core made here: a board without a bootloader gets its fuses alone (no write for
# an empty fuse key); a missing image and an unknown board run nothing and exit 2.
core=$(mktemp -d); trap 'rm -rf "$core"' EXIT
printf '%s\n' 'bare.name=Bare Eight' bare.build.mcu=atmega8 bare.bootloader.low_fuses=0xe4 \
  bare.bootloader.high_fuses=0xd9 bare.bootloader.extended_fuses= 'gone.name=Gone' gone.build.mcu=atmega8 \
  gone.bootloader.file=x/gone.hex > "$core/boards.txt"
lines() {  # lines <expected status> <expected output> <board>
  out=$(HOME="$core" env -u DISPLAY "$program" --board-lines "$3" -c usbasp --core "$core" 2>&1); status=$?
  [ "$status" = "$1" ] && [ "$out" = "$2" ] || { echo "--board-lines $3: status $status (wanted $1), output:"; printf '%s\n' "$out"; fail=1; }
}
lines 0 "avrdude.exe -p m8 -c usbasp -e -U hfuse:w:0xD9:m -U lfuse:w:0xE4:m" "Bare Eight"
lines 2 "fusewerk: Gone names the bootloader gone.hex, which is not installed ($core/bootloaders/x/gone.hex)" gone
lines 2 "fusewerk: no installed core has the board \"nosuch\"" nosuch
# A board whose burn would lock the chip (lock mode 2) or disable its reset: the question on standard
# error and exit 3, the lines only with --yes.
mkdir -p "$core/bootloaders"
printf ':041C00000C9434000C\n:00000001FF\n' > "$core/bootloaders/l.hex"
printf '%s\n' 'locked.name=Locked Eight' locked.build.mcu=atmega8 locked.bootloader.low_fuses=0xe4 \
  locked.bootloader.high_fuses=0xd8 locked.bootloader.unlock_bits=0x3F locked.bootloader.lock_bits=0x3E \
  locked.bootloader.file=l.hex 'noreset.name=No Reset' noreset.build.mcu=atmega8 noreset.bootloader.high_fuses=0x5F \
  >> "$core/boards.txt"
for board in locked noreset; do
  out=$(HOME="$core" env -u DISPLAY "$program" --board-lines $board -c usbasp --core "$core" 2>&1); status=$?
  case "$board:$status:$out" in
    "locked:3:"*"LB1 (lock mode 2)"*|"noreset:3:"*"RSTDISBL"*) ;;
    *) echo "--board-lines $board: status $status, output:"; printf '%s\n' "$out"; fail=1 ;;
  esac
  printf '%s\n' "$out" | grep -q '^avrdude.exe' && { echo "--board-lines $board printed a line it asks about"; fail=1; }
done
out=$(HOME="$core" env -u DISPLAY "$program" --board-lines locked -c usbasp --core "$core" --yes 2>/dev/null); status=$?
[ "$status" = 0 ] && printf '%s\n' "$out" | grep -q 'lock:w:0x3E:m' || { echo "--board-lines --yes: status $status: $out"; fail=1; }
# MiniCore in a home of the test's own: its boards by FQBN, a board's menus, and options by name.
mini=$(mktemp -d); trap 'rm -rf "$core" "$mini"' EXIT
mkdir -p "$mini/Arduino/hardware/MiniCore"
cp -r "$(dirname "$0")/cores/MiniCore/avr" "$mini/Arduino/hardware/MiniCore/"
mc() { HOME="$mini" env -u DISPLAY "$program" "$@" 2>&1; }
out=$(mc --boards); printf '%s\n' "$out" | grep -q "^MiniCore:avr:328	ATmega328	$mini/Arduino/hardware/MiniCore/avr$" \
  || { echo "--boards: $out"; fail=1; }
out=$(mc --board-menus MiniCore:avr:328 | grep -c '^clock	Clock	'); [ "$out" = 19 ] || { echo "--board-menus: $out clock options"; fail=1; }
out=$(mc --board-menus MiniCore:avr:328 | head -1); [ "$out" = "clock	Clock	16MHz_external	External 16 MHz" ] || { echo "--board-menus first: $out"; fail=1; }
out=$(mc --board-lines "MiniCore:avr:328:clock=8MHz_internal,BOD=2v7,eeprom=keep" -c usbasp -P usb)
printf '%s\n' "$out" | grep -q -- '-Uhfuse:w:0xd7:m -Ulfuse:w:0xe2:m$' || { echo "--board-lines MiniCore: $out"; fail=1; }
for bad in "MiniCore:avr:328:clock=9MHz" "MiniCore:avr:328:colour=red" "MiniCore:avr:999"; do
  mc --board-lines "$bad" -c usbasp > /dev/null; status=$?
  [ "$status" = 2 ] || { echo "--board-lines $bad: status $status"; fail=1; }
done
# The command line's conventions, without a display: --help lists every mode, --version, and what is
# no option of the program's is refused.
out=$(env -u DISPLAY "$program" --help); status=$?
for mode in --explain --program --boards --board-menus --board-lines --version; do
  printf '%s\n' "$out" | grep -q -- "fusewerk $mode" || { echo "--help lacks $mode"; fail=1; }
done
[ "$status" = 0 ] || { echo "--help: status $status"; fail=1; }
out=$(env -u DISPLAY "$program" --version); status=$?
case "$status:$out" in "0:fusewerk "[0-9]*) ;; *) echo "--version: status $status: $out"; fail=1 ;; esac
for bad in --bogus image.hex; do
  env -u DISPLAY "$program" "$bad" 2>/dev/null; status=$?
  [ "$status" = 2 ] || { echo "fusewerk $bad: status $status"; fail=1; }
done
env -u DISPLAY "$program" --board-lines 2>/dev/null; [ $? = 2 ] || { echo "--board-lines without a board: not 2"; fail=1; }
[ $fail -eq 0 ] && echo "--explain: all cases as expected"
exit $fail
