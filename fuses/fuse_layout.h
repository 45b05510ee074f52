#pragma once
// Per-device names of the fuse and lock bits, and which byte groups a device has.
#include <QString>
#include <QStringView>
#include <array>

namespace fuses {

struct DeviceFuseLayout {
    const char *device;
    // Low fuse, high fuse, lock byte, extended fuse: "off", or eight captions from bit 7 down to
    // bit 0, "-" where the bit keeps its plain caption.
    std::array<const char *, 4> groups;
};

extern const std::array<DeviceFuseLayout, 26> FuseLayoutTable;

struct GroupLayout {
    bool on = true;
    std::array<QString, 8> captions;  // captions[k] belongs to bit k
};

struct FuseLayout {
    bool inTable = false;  // false: "any other text", every group on with plain captions
    std::array<GroupLayout, 4> groups;
};

QString PlainBitCaption(int bit);  // "Bit 0" ... "Bit 7"

// Exact, case-sensitive, whole-text lookup of the device box's text.
FuseLayout LookupFuseLayout(QStringView device);

}  // namespace fuses
