#include "images/compare.h"

namespace images {

Comparison Compare(const QByteArray &chip, const MemoryFile &image)
{
    Comparison c;
    const qint64 n = std::min<qint64>(image.bytes.size(), qint64(image.given.size()));
    const char *a = chip.constData(), *b = image.bytes.constData();
    for (qint64 i = 0; i < n; ++i) {
        if (!image.given[std::size_t(i)])
            continue;
        ++c.given;
        // Past the chip's end is a difference too: the file gives a byte the chip has not.
        if (i < chip.size() && a[i] == b[i])
            continue;
        ++c.differing;
        if (!c.ranges.empty() && c.ranges.back().end == i)
            c.ranges.back().end = i + 1;
        else
            c.ranges.push_back({i, i + 1});
    }
    return c;
}

QString Summary(const Comparison &c)
{
    if (c.same())
        return QStringLiteral("The chip holds every byte the file gives (%1)").arg(c.given);
    return QStringLiteral("%1 %2, %3 %4 (of %5 the file gives)")
        .arg(c.ranges.size())
        .arg(c.ranges.size() == 1 ? QStringLiteral("range") : QStringLiteral("ranges"))
        .arg(c.differing)
        .arg(c.differing == 1 ? QStringLiteral("byte differs") : QStringLiteral("bytes differ"))
        .arg(c.given);
}

}  // namespace images
