#pragma once
// Per-device names of the fuse and lock bits, and which byte groups a device has.
#include "compose/devices.h"
#include "compose/installed.h"
#include "fuses/fuse_bytes.h"

#include <QString>
#include <QStringView>
#include <algorithm>
#include <array>

namespace fuses {

struct DeviceFuseLayout {
    const char *device;
    // Low fuse, high fuse, lock byte, extended fuse: "off", or eight captions from bit 7 down to
    // bit 0, "-" where the bit keeps its plain caption.
    std::array<const char *, 4> groups;
};

// The rows of the device table that have a layout, in their order.
inline constexpr auto FuseLayoutTable = [] {
    constexpr auto count = static_cast<std::size_t>(
        std::count_if(std::begin(compose::DeviceTable), std::end(compose::DeviceTable),
                      [](const compose::DeviceRow &row) { return row.fuses[0] != nullptr; }));
    std::array<DeviceFuseLayout, count> out{};
    std::size_t i = 0;
    for (const compose::DeviceRow &row : compose::DeviceTable)
        if (row.fuses[0] != nullptr)
            out[i++] = {row.name, row.fuses};
    return out;
}();

struct GroupLayout {
    bool on = true;
    std::array<QString, 8> captions;  // captions[k] belongs to bit k
    std::array<QString, 8> toolTips;  // empty for a bit without a name
};

struct FuseLayout {
    // false: "any other text", every group on with plain captions. True for the window's own devices
    // and for the parts of the installed avrdude with fuse memories of their own.
    bool inTable = false;
    std::array<GroupLayout, kFuseByteCount> groups;  // in the order of FuseByteTable

    const GroupLayout &operator[](FuseByte byte) const { return groups[Index(byte)]; }
};

QString PlainBitCaption(int bit);  // "Bit 0" ... "Bit 7"

// Exact, case-sensitive, whole-text lookup of the device box's text: the device table first, then
// the installed avrdude's parts.
// `part`: what the installed avrdude says of a part the device table does not hold.
FuseLayout LookupFuseLayout(QStringView device, const compose::InstalledPart *part = nullptr);

}  // namespace fuses
