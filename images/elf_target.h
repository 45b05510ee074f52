#pragma once
// What an ELF file says of the chip it was built for, beyond its images: the machine, the device
// avr-gcc recorded, and the fuse, lock and EEPROM sections avr-libc's FUSES, LOCKBITS and EEMEM give.
#include <QByteArray>
#include <QString>

namespace images {

struct ElfTarget {
    QString error;     // not an ELF file for AVR, or one that cannot be read; empty when it is one
    QString device;    // the device in .note.gnu.avr.deviceinfo ("atmega8"); empty when not recorded
    QByteArray fuses;  // the .fuse section's bytes, the first at the part's first fuse; empty without
    QByteArray lock;   // the .lock section's bytes
    bool eeprom = false;  // an .eeprom section with data
    bool flash = false;   // program data for the flash

    bool ok() const { return error.isEmpty(); }
};

// Reads at most the headers, the section names and the note, fuse and lock sections: an image of any
// size costs no more than its section table.
ElfTarget ReadElfTarget(const QString &path);

}  // namespace images
