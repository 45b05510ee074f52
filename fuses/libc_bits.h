#pragma once
// The fuse and lock bit names of avr-libc's device headers (generated: scripts/gen-fuse-names.py).
#include <QString>
#include <QStringView>

namespace fuses {

struct LibcBit {
    const char *device;  // avr-libc's device name, as avrdude names the part (ATmega328P)
    const char *memory;  // lfuse, hfuse, efuse or lock
    int bit;
    const char *name;         // the datasheet's name (CKSEL0)
    const char *description;  // avr-libc's comment; may be empty
};

// The bit of a device's memory, or null when avr-libc names none there.
const LibcBit *FindLibcBit(QStringView device, QStringView memory, int bit);
// True when avr-libc names at least one bit of the device.
bool HasLibcBits(QStringView device);

}  // namespace fuses
