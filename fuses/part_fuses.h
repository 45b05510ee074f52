#pragma once
// The fuses of a part that has its own (UPDI, TPI and XMEGA parts): not the classic low, high and
// extended fuse and lock byte of the four byte editors, but avrdude's fuse memories of the part
// (fuse0 ... fuse8, fuse, lock, lockbits), each matched with the register of the device data that
// stands at its place in the fuse address space.
#include "compose/installed.h"
#include "fuses/device_meanings.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace fuses {

struct FuseSection {
    QString memory;       // avrdude's name: fuse5, fuse, lock, lockbits
    QStringList aliases;  // its other names for it, in its order (syscfg0)
    int size = 1;         // bytes, 1 to 4
    bool lock = false;
    const MeaningRegister *reg = nullptr;  // null where the device data has none

    // "syscfg0 (fuse5)", "lock": its first alias and its name.
    QString name() const;
    // "syscfg0 (fuse5): System Configuration 0", "lock: Lock bits", "fuse4" without data.
    QString heading() const;
    // The largest value the memory holds (FF, or FFFFFFFF for a four-byte lock).
    std::uint32_t fullMask() const;
    // The value as hex digits, two per byte, the most significant first ("C4", "5CC5C55C").
    QString hexText(std::uint32_t value) const;
    // avrdude's immediate form of the value, its bytes in memory order: "0xC4", "0x5C,0xC5,0xC5,0x5C".
    QString immediate(std::uint32_t value) const;
    // Exactly two hex digits per byte; the value, or nothing.
    std::optional<std::uint32_t> parseHex(QStringView text) const;
};

struct OwnFuses {
    const MeaningDevice *meanings = nullptr;  // null: the part's fuses are shown as bytes, without words
    std::vector<FuseSection> sections;        // in avrdude's order; empty for a classic part

    bool any() const { return !sections.empty(); }
    // The section of a memory by avrdude's own name for it.
    const FuseSection *section(QStringView memory) const;
};

// True for the names avrdude gives the fuse and lock memories of parts with fuses of their own.
bool IsOwnFuseMemory(QStringView memory);

// The part's own fuses; none for a classic part: one of the window's own devices, or a part with
// an lfuse, hfuse or efuse memory.
// `device`: the name the device data knows it by; `part`: what the installed avrdude says of it.
OwnFuses PartOwnFuses(QStringView device, const compose::InstalledPart *part);

// What writing `value` to the section would do that cannot easily be undone, by its device data:
// the UPDI pin given to GPIO or reset, RSTDISBL programmed, a lock other than the data's "no lock"
// setting, a clock or start-up setting the data does not list. Without data: nothing can be said.
QStringList OwnFuseRisks(const FuseSection &section, std::optional<std::uint32_t> old, std::uint32_t value);

}  // namespace fuses
