#include "fuses/fuse_layout.h"

#include <QStringList>

namespace fuses {


QString PlainBitCaption(int bit) { return QStringLiteral("Bit %1").arg(bit); }

FuseLayout LookupFuseLayout(QStringView device)
{
    FuseLayout layout;
    for (auto &group : layout.groups)
        for (int k = 0; k < 8; ++k)
            group.captions[k] = PlainBitCaption(k);
    for (const auto &entry : FuseLayoutTable) {
        if (device != QLatin1String(entry.device))
            continue;
        layout.inTable = true;
        for (std::size_t g = 0; g < 4; ++g) {
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
    return layout;
}

}  // namespace fuses
