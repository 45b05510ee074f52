#include "explain/explain.h"

#include "installed/installed_avrdude.h"
#include "compose/vocabulary.h"
#include "fuses/byte_text.h"
#include "fuses/device_meanings.h"
#include "fuses/fuse_safety.h"

#include <cstdio>
#include <map>

namespace {

void Say(std::FILE *to, const QString &line) { std::fprintf(to, "%s\n", line.toUtf8().constData()); }

// The part's data by its name (case aside) or by avrdude's part code (m328p): the window's own table
// first, then the installed avrdude's parts.
const fuses::MeaningDevice *FindPart(const QString &part, const compose::Vocabulary &words)
{
    if (const fuses::MeaningDevice *byName = fuses::FindMeanings(part))
        return byName;
    for (const fuses::MeaningDevice &device : fuses::AllMeanings())
        if (words.partCode(QString::fromLatin1(device.name)).compare(part, Qt::CaseInsensitive) == 0)
            return &device;
    return nullptr;
}

}  // namespace

int RunExplain(const QStringList &arguments)
{
    if (arguments.isEmpty()) {
        Say(stderr, QStringLiteral("usage: fusewerk --explain PART [lfuse=HH] [hfuse=HH] [efuse=HH] [lock=HH]"));
        return 2;
    }
    const compose::Vocabulary words(AskInstalledAvrdude());
    const fuses::MeaningDevice *device = arguments.front().trimmed().isEmpty() ? nullptr : FindPart(arguments.front(), words);
    if (!device) {
        Say(stderr, QStringLiteral("fusewerk: no device data for the part \"%1\"").arg(arguments.front()));
        return 2;
    }
    // The values asked for, in the byte editors' order; none: the factory defaults.
    std::map<std::size_t, unsigned> values;
    for (const QString &argument : arguments.mid(1)) {
        const QString memory = argument.section(u'=', 0, 0);
        const auto row = std::find_if(std::begin(fuses::FuseByteTable), std::end(fuses::FuseByteTable),
                                      [&](const fuses::FuseByteRow &r) { return memory == QLatin1String(r.memory); });
        const std::optional<int> value = fuses::ParseByteText(argument.section(u'=', 1));
        if (row == std::end(fuses::FuseByteTable) || !argument.contains(u'=') || !value) {
            Say(stderr, QStringLiteral("fusewerk: \"%1\" is not lfuse=HH, hfuse=HH, efuse=HH or lock=HH with one hex byte")
                            .arg(argument));
            return 2;
        }
        if (!fuses::RegisterOf(*device, row->byte)) {
            Say(stderr, QStringLiteral("fusewerk: the %1 has no %2").arg(QLatin1String(device->name), memory));
            return 2;
        }
        if (values.contains(fuses::Index(row->byte))) {
            Say(stderr, QStringLiteral("fusewerk: %1 is given twice").arg(memory));
            return 2;
        }
        values[fuses::Index(row->byte)] = static_cast<unsigned>(*value);
    }
    const bool defaults = values.empty();
    if (defaults)
        for (const fuses::MeaningRegister &reg : fuses::Registers(*device))
            if (reg.byte)
                values[fuses::Index(*reg.byte)] = reg.initval;

    Say(stdout, QStringLiteral("%1 (signature %2)%3")
                    .arg(QLatin1String(device->name), QLatin1String(device->signature),
                         defaults ? QStringLiteral(", factory defaults") : QString()));
    QStringList warnings;
    for (const auto &[index, value] : values) {
        const fuses::FuseByteRow &row = fuses::FuseByteTable[index];
        Say(stdout, QStringLiteral("%1 = 0x%2").arg(QLatin1String(row.memory), fuses::FixedWidthText(static_cast<int>(value), 16).toUpper()));
        for (const QString &line : fuses::ExplainLines(*fuses::RegisterOf(*device, row.byte), value))
            Say(stdout, QStringLiteral("  ") + line);
        for (const QString &risk : fuses::WriteRisks(QString::fromLatin1(device->name), words.findPart(QString::fromLatin1(device->name)), row.byte, std::nullopt, value))
            warnings << QStringLiteral("Warning: %1 = 0x%2: %3")
                            .arg(QLatin1String(row.memory), fuses::FixedWidthText(static_cast<int>(value), 16).toUpper(), risk);
    }
    for (const QString &warning : warnings)
        Say(stdout, warning);
    // What could not be written was not said: a full disk or a closed pipe is a failure.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        Say(stderr, QStringLiteral("fusewerk: the explanation could not be written"));
        return 1;
    }
    return 0;
}
