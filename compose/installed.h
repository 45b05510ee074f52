#pragma once
// What the installed avrdude knows beyond the window's own lists: its parts and programmers,
// read from its answers to "-p */St" and "-c ?".
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace compose {

// One memory of a part as avrdude describes it ("flash size 0x8000", "fuse5 offset 0x1285").
struct PartMemory {
    QString name;
    qint64 size = 0;
    qint64 offset = 0;
    // Of a fuse or lock memory: its instructions as avrdude's part data gives them
    // ("read:0101.0000--...;write:1010.1100--..."), by which avrdude reaches the chip's byte.
    QString ops;
    bool operator==(const PartMemory &) const = default;
};

// A memory that holds fuse or lock bits, however avrdude names it (lfuse, fuse5, fuses, lockbits).
bool IsFuseOrLockMemory(QStringView memory);
// Another name avrdude takes for a memory ("syscfg0 alias fuse5").
struct MemoryAlias {
    QString name;
    QString memory;
    bool operator==(const MemoryAlias &) const = default;
};

struct InstalledPart {
    QString name;       // display name, as avrdude describes the part (ATmega328P)
    QString code;       // what follows "-p" (m328p)
    QString signature;  // six upper-case hex digits (1E950F); empty when it has none
    std::vector<PartMemory> memories;  // in avrdude's order: eeprom, flash, lfuse, ... fuse0, ...
    std::vector<MemoryAlias> aliases;  // in avrdude's order
    QStringList modes;                 // how it is programmed, avrdude's prog_modes: PM_SPM, PM_ISP, PM_UPDI ...

    const PartMemory *Memory(QStringView memory) const;  // by its exact name
    bool HasMemory(QStringView memory) const { return Memory(memory) != nullptr; }
};

// The memory avrdude 7.1's locator finds for `name`: an exact name, then an exact alias, else the
// one memory or alias that `name` starts (several: none). Null when avrdude finds none.
const PartMemory *LocateMemory(const InstalledPart &part, QStringView name);

struct InstalledProgrammer {
    QString id;
    QString description;
    // avrdude reaches the chip only through a bootloader (its prog_modes are PM_SPM alone): no fuse,
    // lock or calibration byte can be read or written that way.
    bool bootloaderOnly = false;
    QStringList modes;  // avrdude's prog_modes; empty when it did not say
    // How it shows on USB, as avrdude's entry gives it: its vendor id (0 where the entry names
    // none), product ids, and the strings that tell apart programmers sharing one id.
    quint16 usbVendor = 0;
    QList<quint16> usbProducts;
    QString usbVendorName, usbProductName;
};

struct InstalledAvrdude {
    std::vector<InstalledPart> parts;
    std::vector<InstalledProgrammer> programmers;
    // Where the answers came from: the avrdude program (its absolute path), the system-wide
    // configuration file it reads by itself, and the key of the configuration files it read for them
    // (empty for answers of no known program).
    QString program;
    QString systemConfig;
    QByteArray configKey;
};

// "-p */St": tab-separated lines ".pt <part> desc|id|signature <value>" and ".ptmm <part> <memory> ...".
std::vector<InstalledPart> ParseParts(QByteArrayView text);
// "-c ?": lines "  <id> = <description>" after "Valid programmers are:".
std::vector<InstalledProgrammer> ParseProgrammers(QByteArrayView text);
// "-c */St": each programmer's prog_modes, by every id each one has; those with PM_SPM alone are
// marked as reaching the chip only through a bootloader.
void ReadProgrammerModes(QByteArrayView text, std::vector<InstalledProgrammer> &programmers);

// What the window says beside the programmer box when the programmer cannot program the part in
// any of the part's modes, or only through a bootloader on it; empty when they share a mode or
// either's modes are not known.
QString ProgrammerFit(const InstalledPart &part, const InstalledProgrammer &programmer);

// True for a word avrdude can take as a part code or programmer id: letters, digits and _ . + -.
bool IsToolWord(QStringView text);


}  // namespace compose
