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
QStringList DeviceList();      // the empty entry, then the listed rows of the device table
QStringList ProgrammerList();  // 40 entries
QStringList PortList();        // 13 entries
// The port box's items: the 13 entries first, so that stored item indexes keep their meaning, then
// the serial ports present at start-up by their device paths, then "usb".
QStringList PortItems(const QStringList &serialPorts);
QStringList FormatList();      // 4 entries

// Exact, case-sensitive, whole-text lookups.
QString LookupPartCode(QStringView device);     // empty when the device has no pair
QString LookupFormatLetter(QStringView format);  // "a" when nothing matches

}  // namespace compose
