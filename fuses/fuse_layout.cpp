#include "fuses/fuse_layout.h"

#include "compose/installed.h"
#include "fuses/libc_bits.h"
#include "fuses/part_fuses.h"

#include <QRegularExpression>
#include <QStringList>

namespace fuses {
namespace {

// The layout of a part the installed avrdude knows: a group for each of its fuse memories, the
// bits named after avr-libc. A part with fuses of its own (fuse0 ..., fuse, lockbits) has none of
// the four: the settings panel holds its fuses.
bool ApplyInstalledPart(QStringView device, const compose::InstalledPart *part, FuseLayout &layout)
{
    if (!part)
        return false;
    if (PartOwnFuses(device, part).any()) {
        layout.inTable = true;
        for (GroupLayout &group : layout.groups)
            group.on = false;
        return true;
    }
    bool any = false;
    for (const compose::PartMemory &m : part->memories) {
        const QString &memory = m.name;
        any = any || std::any_of(std::begin(FuseByteTable), std::end(FuseByteTable),
                                 [&](const FuseByteRow &row) { return memory == QLatin1String(row.memory); });
    }
    if (!any)
        return false;
    layout.inTable = true;
    for (std::size_t g = 0; g < kFuseByteCount; ++g) {
        const QString memory = QLatin1String(FuseByteTable[g].memory);
        layout.groups[g].on = part->HasMemory(memory);
        if (!layout.groups[g].on)
            continue;
        for (int k = 0; k < 8; ++k)
            if (const LibcBit *bit = FindLibcBit(device, memory, k))
                layout.groups[g].captions[k] = QString::fromLatin1(bit->name);
    }
    return true;
}

// Says what a named box stands for, and which way round its tick is.
QString BitToolTip(QStringView device, std::size_t group, int bit, const QString &caption)
{
    QString tip;
    if (const LibcBit *libc = FindLibcBit(device, QString::fromLatin1(FuseByteTable[group].memory), bit)) {
        if (*libc->description)
            tip = QString::fromUtf8(libc->description) + QStringLiteral(". ");
        if (caption != QLatin1String(libc->name))
            tip += QStringLiteral("Datasheet name: %1. ").arg(QLatin1String(libc->name));
    }
    return tip + QStringLiteral("Ticked: 1, unprogrammed. Unticked: 0, programmed.");
}

}  // namespace

QString PlainBitCaption(int bit) { return QStringLiteral("Bit %1").arg(bit); }

FuseLayout LookupFuseLayout(QStringView device, const compose::InstalledPart *part)
{
    FuseLayout layout;
    for (auto &group : layout.groups)
        for (int k = 0; k < 8; ++k)
            group.captions[k] = PlainBitCaption(k);
    for (const auto &entry : FuseLayoutTable) {
        if (device != QLatin1String(entry.device))
            continue;
        layout.inTable = true;
        // A byte the device table has no cell for (one added after its four) keeps plain captions.
        for (std::size_t g = 0; g < std::min(kFuseByteCount, entry.groups.size()); ++g) {
            const QString cell = QString::fromLatin1(entry.groups[g]);
            if (cell == QLatin1String("off")) {
                layout.groups[g].on = false;
                continue;
            }
            const QStringList words = cell.split(QLatin1Char(' '));
            for (int k = 0; k < 8 && k < words.size(); ++k) {
                const QString &word = words[words.size() - 1 - k];  // the cell runs from bit 7 down
                if (word != QLatin1String("-"))
                    layout.groups[g].captions[k] = word;
            }
        }
        break;
    }
    if (!layout.inTable && !ApplyInstalledPart(device, part, layout))
        return layout;
    for (std::size_t g = 0; g < kFuseByteCount; ++g)
        for (int k = 0; k < 8; ++k)
            if (layout.groups[g].on && layout.groups[g].captions[k] != PlainBitCaption(k))
                layout.groups[g].toolTips[k] = BitToolTip(device, g, k, layout.groups[g].captions[k]);
    return layout;
}

}  // namespace fuses
