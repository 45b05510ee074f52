#include "fuses/libc_bits.h"

#include <QHash>
#include <vector>

namespace fuses {
namespace {

constexpr LibcBit kLibcBits[] = {
#include "fuses/avr_libc_bits.inc"
};

// Device name -> the rows of that device, built once.
const QHash<QString, std::vector<const LibcBit *>> &ByDevice()
{
    static const auto index = [] {
        QHash<QString, std::vector<const LibcBit *>> out;
        for (const LibcBit &row : kLibcBits)
            out[QString::fromLatin1(row.device)].push_back(&row);
        return out;
    }();
    return index;
}

}  // namespace

const LibcBit *FindLibcBit(QStringView device, QStringView memory, int bit)
{
    const auto rows = ByDevice().constFind(device.toString());
    if (rows == ByDevice().cend())
        return nullptr;
    for (const LibcBit *row : *rows)
        if (row->bit == bit && memory == QLatin1String(row->memory))
            return row;
    return nullptr;
}

bool HasLibcBits(QStringView device) { return ByDevice().contains(device.toString()); }

}  // namespace fuses
