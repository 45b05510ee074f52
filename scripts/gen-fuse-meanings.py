#!/usr/bin/env python3
"""Writes fuses/device_meanings.inc from Microchip's device files (third_party/atdf/*.atdf).

For every device with fuse or lock registers: its signature, and for each register of its FUSE and
LOCKBIT (or LOCK) modules its name, caption, offset, size and factory default (initval), the byte
editor it stands for where it is a classic one (LOW, HIGH, EXTENDED: avrdude's lfuse, hfuse, efuse;
LOCKBIT: lock), and its bit fields in the file's order, each with its mask, caption and, for a field
with a value group, every setting's name, caption and raw value (the field's bits shifted down to
the mask's lowest bit); and whether its one-bit fields are on when set (1, the UPDI parts) rather
than when programmed (0).
Python standard library only. Run: scripts/gen-fuse-meanings.py [third_party/atdf] > fuses/device_meanings.inc
"""
import glob
import os
import sys
import xml.etree.ElementTree as ET

FOLDER = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "third_party", "atdf")
# The byte editors' order (fuses::FuseByte), and the registers that stand for them.
BYTES = [("LOW", "Low"), ("HIGH", "High"), ("LOCKBIT", "Lock"), ("EXTENDED", "Extended")]
# The modules whose registers are fuses (False) or the lock (True).
MODULES = {"FUSE": False, "LOCKBIT": True, "LOCK": True}


def c_string(text):
    """A C++ string literal: printable ASCII as it is, everything else as octal escapes of UTF-8."""
    out = []
    for byte in text.encode("utf-8"):
        ch = chr(byte)
        if ch in '"\\':
            out.append("\\" + ch)
        elif 32 <= byte < 127:
            out.append(ch)
        else:
            out.append("\\%03o" % byte)
    return '"' + "".join(out) + '"'


def number(text):
    return int(text, 0)


def device_data(path):
    root = ET.parse(path).getroot()
    device = root.find("devices/device")
    name = device.get("name")
    # The UPDI parts' fuse bits are set (1) to turn a feature on; the older parts' are programmed (0).
    on_when_set = device.get("architecture") == "AVR8X"
    signature = ""
    group = device.find("property-groups/property-group[@name='SIGNATURES']")
    if group is not None:
        values = {p.get("name"): number(p.get("value")) for p in group.findall("property")}
        if all(k in values for k in ("SIGNATURE0", "SIGNATURE1", "SIGNATURE2")):
            signature = "%02X%02X%02X" % (values["SIGNATURE0"], values["SIGNATURE1"], values["SIGNATURE2"])
    registers = []
    for module in root.findall("modules/module"):
        if module.get("name") not in MODULES:
            continue
        lock = MODULES[module.get("name")]
        groups = {g.get("name"): g for g in module.findall("value-group")}
        for register in module.findall("register-group/register"):
            if any(r[0] == register.get("name") and r[5] == lock for r in registers):
                continue
            fields = []
            for field in register.findall("bitfield"):
                values = []
                if field.get("values") in groups:
                    for value in groups[field.get("values")].findall("value"):
                        values.append((value.get("name"), value.get("caption") or value.get("name"), number(value.get("value"))))
                fields.append((field.get("name"), field.get("caption") or field.get("name"), number(field.get("mask")), values))
            registers.append((register.get("name"), register.get("caption") or "", number(register.get("offset", "0")),
                              number(register.get("size", "1")), number(register.get("initval", "0xFF")), lock, fields))
    # The classic bytes first, in the byte editors' order; then the other registers, the fuses by
    # their offset and the lock last.
    classic = {register: byte for register, byte in BYTES}
    def order(r):
        if r[0] in classic:
            return (0, [b for _, b in BYTES].index(classic[r[0]]), 0)
        return (1, 1 if r[5] else 0, r[2])
    registers.sort(key=order)
    return name, signature, on_when_set, registers


def main():
    devices = []
    for path in sorted(glob.glob(os.path.join(FOLDER, "*.atdf"))):
        name, signature, on_when_set, registers = device_data(path)
        if registers:
            devices.append((name, signature, on_when_set, registers))
    devices.sort(key=lambda d: d[0])
    classic = dict(BYTES)
    values, fields, regs, devs = [], [], [], []
    for name, signature, on_when_set, registers in devices:
        first_register = len(regs)
        for register_name, caption, offset, size, initval, lock, register_fields in registers:
            first_field = len(fields)
            for field_name, field_caption, mask, field_values in register_fields:
                first_value = len(values)
                values.extend(field_values)
                fields.append((field_name, field_caption, mask, first_value, len(field_values)))
            byte = "FuseByte::" + classic[register_name] if register_name in classic else "std::nullopt"
            regs.append((register_name, caption, lock, offset, size, byte, initval, first_field, len(register_fields)))
        devs.append((name, signature, on_when_set, first_register, len(regs) - first_register))
    print("// Generated by scripts/gen-fuse-meanings.py from Microchip's device files (third_party/atdf,")
    print("// Apache License 2.0): do not edit; run the script again.")
    print("// clang-format off")
    print("inline constexpr MeaningValue kMeaningValues[] = {")
    for value_name, caption, value in values:
        print("    {%s, %s, 0x%02X}," % (c_string(value_name), c_string(caption), value))
    print("};")
    print("inline constexpr MeaningField kMeaningFields[] = {")
    for field_name, caption, mask, first, count in fields:
        print("    {%s, %s, 0x%02X, %d, %d}," % (c_string(field_name), c_string(caption), mask, first, count))
    print("};")
    print("inline constexpr MeaningRegister kMeaningRegisters[] = {")
    for register_name, caption, lock, offset, size, byte, initval, first, count in regs:
        print("    {%s, %s, %s, %d, %d, %s, 0x%02X, %d, %d}," % (c_string(register_name), c_string(caption),
              "true" if lock else "false", offset, size, byte, initval, first, count))
    print("};")
    print("inline constexpr MeaningDevice kMeaningDevices[] = {")
    for device_name, signature, on_when_set, first, count in devs:
        print("    {%s, %s, %s, %d, %d}," % (c_string(device_name), c_string(signature),
              "true" if on_when_set else "false", first, count))
    print("};")
    print("// clang-format on")


if __name__ == "__main__":
    main()
