#pragma once
// What a byte about to be written would do to the chip beyond its ordinary settings: the bits that
// end serial (ISP) programming or lock the memories, by their names in the device's layout.
#include "fuses/fuse_layout.h"

#include <QStringList>
#include <optional>

namespace fuses {

// True for exactly two hexadecimal digits, the only fuse or lock value that is written.
bool IsCompleteByte(QStringView text);
// True for one to eight hexadecimal digits without gaps, the only calibration value that is written.
bool IsCalibrationValue(QStringView text);

// For a write of `value` to `byte` of a device with this layout: one sentence for each named bit that programming RSTDISBL or DWEN
// (to 0), unprogramming SPIEN (to 1), or programming LB1 or LB2 (lock mode 2 or 3) would bring about. Empty when
// the value is harmless, or the device's bits have no names.
QStringList LockOutRisks(const FuseLayout &layout, FuseByte byte, unsigned value);

// Everything a write of `value` to `byte` of `device` would do that cannot easily be undone: the
// lock-out rules above by the bit names of the part's device data where it has them (its layout's
// otherwise), and for a part with data, a clock source changed to an external clock or crystal (its
// setting's caption starts with "Ext."). `old` is the byte as last read; without it an external
// clock setting is a risk by itself.
// `part`: what the installed avrdude says of it (null without that data).
// `clockConfirmed`: the user has already agreed to the clock setting (a board's, named by it), so
// only the other risks are said.
QStringList WriteRisks(QStringView device, const compose::InstalledPart *part, FuseByte byte, std::optional<unsigned> old,
                       unsigned value, bool clockConfirmed = false);
// True when the device data or the layout names at least one bit of the device's `byte`: only then
// can a value written to it be judged.
bool HasBitNames(QStringView device, const compose::InstalledPart *part, FuseByte byte);

}  // namespace fuses
