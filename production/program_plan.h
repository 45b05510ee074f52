#pragma once
// Program Chip and Verify Chip: a whole chip from one ELF file (flash, EEPROM, fuses and lock, as
// avr-libc's FUSES, LOCKBITS and EEMEM put them there), in the safe order, in one avrdude line. The
// fuse and lock values are read out of the file here and written as immediate values, so the gate
// judges exactly the bytes that are written.
#include "compose/form_state.h"
#include "compose/vocabulary.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace production {

struct FuseValue {
    QString memory;       // avrdude's name: lfuse, fuse5, lock
    QByteArray bytes;     // in memory order
    QString immediate;    // "0xE4", "0x5C,0xC5,0xC5,0x5C"
};

struct ProgramPlan {
    QString refusal;                 // non-empty: nothing may run, and this says why
    QString builtFor;                // with a refusal: the part the file was built for, when it is another
    QString part;                    // avrdude's name (ATmega8)
    QString signature;               // the part's, six hex digits ("1E9307")
    std::vector<FuseValue> values;   // the file's fuse and lock values, fuses first
    QString signatureLine;           // reads the chip's signature, before anything is written
    QString line;                    // the program (or verify) line
};

// One image of a set of files: its path and avrdude's format letter (i, s, r, e, a).
struct ImageFile {
    QString path;
    QChar format = u'i';
};

struct ProgramRequest {
    QString elf;  // the whole chip from one file; empty: the set of files below
    // Without an ELF file: the flash image (needed), an EEPROM image (optional) and the fuse and lock
    // values to write (each memory once, fuses before the lock).
    ImageFile flash, eeprom;
    std::vector<FuseValue> values;
    compose::FormState target;  // its device is the part; programmer, port, exit modes, extra options
    bool verifyOnly = false;
    QString serialFile;  // Intel hex of the serial number at its address, written after the EEPROM; empty: none
    std::optional<std::uint32_t> serialAt;  // where its four bytes go in the EEPROM
};

ProgramPlan PlanProgram(const ProgramRequest &request, const compose::Vocabulary &words);

// A serial number as the user writes it: decimal digits, leading zeros and all ("0100" is a hundred),
// 32 bits; otherwise nothing, and `error` says why ("is not a number", "is too large").
std::optional<std::uint32_t> ParseSerial(const QString &text, QString *error = nullptr);
// An EEPROM address: 0x and hex digits, or decimal digits as a serial number is read.
std::optional<std::uint32_t> ParseAddress(const QString &text, QString *error = nullptr);

// The serial number as Intel hex: four bytes, least significant first, from `address` of the EEPROM.
QByteArray SerialHex(std::uint32_t address, std::uint32_t serial);

// The bytes of "Program Chip"'s verify failures in avrdude's output: "eeprom: first difference at
// 0x0004 (device 0x41, file 0x68)"; empty when nothing differed.
QString FirstDifference(const QString &output);

}  // namespace production
