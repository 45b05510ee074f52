#pragma once
// The words the window offers and the command lines carry.
#include <QString>
#include <QStringList>
#include <QStringView>
#include "compose/devices.h"

#include <array>

namespace compose {

struct PartCode {
    const char *name;  // device display name as the device box shows it
    const char *code;  // what follows "-p"
};

// Device display name to part code, looked up in this order: every row of the device table.
inline constexpr auto PartCodeTable = [] {
    std::array<PartCode, kDeviceCount> out{};
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = {DeviceTable[i].name, DeviceTable[i].code};
    return out;
}();

struct FormatLetter {
    const char *name;
    const char *letter;
};
// Format display name to the letter that ends a "-U" operation.
extern const std::array<FormatLetter, 5> FormatLetterTable;

// Item lists of the combo boxes. Device, programmer and port lists start with an empty entry.
// The window's own lists: the empty entry, then the listed rows of the device table (27 entries),
// and the 40 programmer entries.
QStringList DesignDeviceList();
QStringList DesignProgrammerList();
// The window's own list followed by what the installed avrdude adds (compose/installed.h), sorted.
QStringList DeviceList();
QStringList ProgrammerList();
QStringList PortList();        // 13 entries
// The port box's items: the 13 entries first, so that stored item indexes keep their meaning, then
// the serial ports present at start-up by their device paths, then "usb".
QStringList PortItems(const QStringList &serialPorts);
QStringList FormatList();      // 4 entries

// Exact, case-sensitive, whole-text lookups.
// The device table first, then the installed avrdude's parts; empty when neither knows the name.
QString LookupPartCode(QStringView device);
// The other way: the device name for a part code (the device table first, then the installed
// avrdude's parts, avrdude's own case aside); empty when none has it.
QString LookupPartName(QStringView code);
QString LookupFormatLetter(QStringView format);  // "a" when nothing matches

}  // namespace compose
