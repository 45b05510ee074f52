#!/usr/bin/env python3
"""A virtual ATmega8 behind an STK500 version 1 programmer, on a pseudo-terminal.

Prints the terminal's device path on its first line of output, then answers avrdude
("-c stk500v1 -P <path>") until it is stopped. The fuse, lock, calibration and signature bytes are
reached through the universal command as avrdude's part "m8" defines them; flash (word addresses)
and EEPROM (byte addresses) through the page commands. With --state, every change is kept in a JSON
file and read back by the next start; without the file, the --lfuse/--hfuse/... values are used.
Standard library only.
"""
import argparse
import json
import os
import select
import signal
import sys
import time
import tty

SYNC_CRC_EOP = 0x20
INSYNC, OK, NOSYNC = 0x14, 0x10, 0x15
FLASH_SIZE, EEPROM_SIZE = 8192, 512
SIGNATURE = [0x1E, 0x93, 0x07]

# Bytes each command carries between its command byte and CRC_EOP (fixed-length ones).
FIXED_ARGS = {
    0x30: 0, 0x31: 0, 0x50: 0, 0x51: 0, 0x52: 0, 0x75: 0, 0x11: 0,  # sync, sign-on, progmode, erase
    0x40: 2, 0x41: 1,                                                 # set / get parameter
    0x42: 20,                                                         # set device
    0x55: 2,                                                          # load address (little endian)
    0x56: 4,                                                          # universal command
}
PARAMETERS = {0x80: 2, 0x81: 1, 0x82: 18, 0x84: 50, 0x85: 50, 0x86: 0, 0x87: 0, 0x89: 1, 0x98: 0}


class Chip:
    def __init__(self, args):
        self.state_path = args.state
        self.bad_flash = args.bad_flash_byte
        state = None
        if self.state_path and os.path.exists(self.state_path):
            with open(self.state_path) as f:
                state = json.load(f)
        if state is None:
            state = {
                "lfuse": args.lfuse, "hfuse": args.hfuse, "lock": args.lock,
                "calibration": args.calibration,
                "flash": "ff" * FLASH_SIZE, "eeprom": "ff" * EEPROM_SIZE,
            }
        self.lfuse, self.hfuse, self.lock = state["lfuse"], state["hfuse"], state["lock"]
        self.calibration = list(state["calibration"])
        self.flash = bytearray.fromhex(state["flash"])
        self.eeprom = bytearray.fromhex(state["eeprom"])
        self.address = 0
        self.save()

    def save(self):
        if not self.state_path:
            return
        state = {
            "lfuse": self.lfuse, "hfuse": self.hfuse, "lock": self.lock, "calibration": self.calibration,
            "flash": self.flash.hex(), "eeprom": self.eeprom.hex(),
        }
        temp = self.state_path + ".tmp"
        with open(temp, "w") as f:
            json.dump(state, f)
        os.replace(temp, self.state_path)

    def flash_byte(self, index):
        value = self.flash[index]
        if self.bad_flash is not None and index == self.bad_flash:
            value ^= 0xFF
        return value

    def universal(self, a, b, c, d):
        """One four-byte serial programming instruction of the m8; returns the byte shifted out."""
        if a == 0x30:
            return SIGNATURE[c & 0x03]
        if a == 0x38:
            return self.calibration[c & 0x03]
        if a == 0x50 and b == 0x00:
            return self.lfuse
        if a == 0x58 and b == 0x08:
            return self.hfuse
        if a == 0x58 and b == 0x00:
            return self.lock
        if a in (0x20, 0x28):  # flash read, low or high byte of a word
            return self.flash_byte((((b & 0x0F) << 8 | c) * 2 + (a == 0x28)) % FLASH_SIZE)
        if a == 0xA0:
            return self.eeprom[((b & 0x01) << 8 | c) % EEPROM_SIZE]
        if a == 0xC0:
            self.eeprom[((b & 0x01) << 8 | c) % EEPROM_SIZE] = d
            self.save()
            return 0
        if a == 0xAC:
            if b == 0xA0:
                self.lfuse = d
            elif b == 0xA8:
                self.hfuse = d
            elif b & 0xE0 == 0xE0:
                self.lock = 0xC0 | (d & 0x3F)
            elif b & 0xE0 == 0x80:  # chip erase: flash and EEPROM blank, lock bits cleared
                self.flash = bytearray(b"\xff" * FLASH_SIZE)
                self.eeprom = bytearray(b"\xff" * EEPROM_SIZE)
                self.lock = 0xFF
            self.save()
            return 0
        return 0

    def read_page(self, memtype, length):
        if memtype == ord("F"):
            start = self.address * 2
            return bytes(self.flash_byte((start + i) % FLASH_SIZE) for i in range(length))
        start = self.address
        return bytes(self.eeprom[(start + i) % EEPROM_SIZE] for i in range(length))

    def write_page(self, memtype, data):
        if memtype == ord("F"):
            start = self.address * 2
            for i, value in enumerate(data):
                self.flash[(start + i) % FLASH_SIZE] = value
        else:
            for i, value in enumerate(data):
                self.eeprom[(self.address + i) % EEPROM_SIZE] = value
        self.save()


class Link:
    def __init__(self, fd, trace):
        self.fd = fd
        self.trace = trace

    def read(self, count):
        data = b""
        while len(data) < count:
            select.select([self.fd], [], [])
            try:
                chunk = os.read(self.fd, count - len(data))
            except OSError:
                chunk = b""
            if not chunk:
                continue
            data += chunk
        if self.trace:
            sys.stderr.write("<< " + data.hex(" ") + "\n")
        return data

    def write(self, data):
        if self.trace:
            sys.stderr.write(">> " + bytes(data).hex(" ") + "\n")
        os.write(self.fd, bytes(data))


def serve(link, chip, delay=0.0, mute_after_pages=None):
    pages = 0
    while True:
        command = link.read(1)[0]
        if command in FIXED_ARGS:
            args = link.read(FIXED_ARGS[command])
        elif command == 0x45:  # set device, extended: the first byte counts itself and what follows
            first = link.read(1)
            args = first + link.read(max(first[0] - 1, 0))
        elif command in (0x64, 0x74):  # program page / read page: length, memory type (and data)
            head = link.read(3)
            length = head[0] << 8 | head[1]
            args = head + (link.read(length) if command == 0x64 else b"")
        else:
            continue  # not a command this programmer knows: wait for the next one
        if link.read(1)[0] != SYNC_CRC_EOP:
            link.write([NOSYNC])
            continue
        if command == 0x64:
            pages += 1
        if mute_after_pages is not None and pages > mute_after_pages:
            link.write([NOSYNC])  # the programmer has lost the chip (a board pulled mid-write)
            continue
        if delay:
            time.sleep(delay)  # a real programmer's time per command
        if command == 0x41:
            link.write([INSYNC, PARAMETERS.get(args[0], 0), OK])
        elif command == 0x31:
            link.write([INSYNC] + list(b"AVR STK") + [OK])
        elif command == 0x75:
            link.write([INSYNC] + SIGNATURE + [OK])
        elif command == 0x55:
            chip.address = args[0] | args[1] << 8
            link.write([INSYNC, OK])
        elif command == 0x56:
            link.write([INSYNC, chip.universal(*args), OK])
        elif command == 0x74:
            link.write([INSYNC] + list(chip.read_page(args[2], args[0] << 8 | args[1])) + [OK])
        elif command == 0x64:
            chip.write_page(args[2], args[3:])
            link.write([INSYNC, OK])
        else:
            link.write([INSYNC, OK])


def number(text):
    return int(text, 0)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--lfuse", type=number, default=0xE1)
    parser.add_argument("--hfuse", type=number, default=0xD9)
    parser.add_argument("--lock", type=number, default=0xFF)
    parser.add_argument("--calibration", type=lambda t: [number(x) for x in t.split(",")],
                        default=[0xA5, 0xA3, 0xA4, 0xA5])
    parser.add_argument("--state", help="JSON file that keeps the chip between runs")
    parser.add_argument("--bad-flash-byte", type=number, help="flash reads return this byte inverted")
    parser.add_argument("--trace", action="store_true", help="log every byte to standard error")
    parser.add_argument("--signature", type=lambda t: [int(t[i:i + 2], 16) for i in (0, 2, 4)],
                        help="the chip's signature as six hex digits (another part, or 000000 for none)")
    parser.add_argument("--delay-ms", type=float, default=0.0,
                        help="wait this long before each answer, as a real programmer takes its time")
    parser.add_argument("--mute-after-pages", type=int,
                        help="answer nothing but NOSYNC after this many page writes, as a programmer that lost its board")
    args = parser.parse_args()
    if args.signature:
        SIGNATURE[:] = args.signature

    chip = Chip(args)
    master, slave = os.openpty()
    tty.setraw(slave)  # the emulator keeps the terminal open, so avrdude may come and go
    print(os.ttyname(slave), flush=True)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    serve(Link(master, args.trace), chip, args.delay_ms / 1000.0, args.mute_after_pages)


if __name__ == "__main__":
    main()
