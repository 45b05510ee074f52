#include "explain/explain.h"

#include "installed/installed_avrdude.h"
#include "compose/vocabulary.h"
#include "fuses/byte_text.h"
#include "fuses/device_meanings.h"
#include "fuses/fuse_safety.h"
#include "fuses/gate.h"
#include "fuses/part_fuses.h"

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

// What could not be written was not said: a full disk or a closed pipe is a failure.
int Flushed()
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        Say(stderr, QStringLiteral("fusewerk: the explanation could not be written"));
        return 1;
    }
    return 0;
}

// A value for a fuse memory of `size` bytes: one byte as the byte editors take it, or up to
// 2 * size hex digits after an optional 0x.
std::optional<std::uint32_t> ParseValue(const QString &text, int size)
{
    if (size == 1) {
        const std::optional<int> byte = fuses::ParseByteText(text);
        return byte ? std::optional<std::uint32_t>(static_cast<std::uint32_t>(*byte)) : std::nullopt;
    }
    QString digits = text.trimmed();
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    bool ok = false;
    const std::uint32_t value = digits.toUInt(&ok, 16);
    if (!ok || digits.isEmpty() || digits.size() > 2 * size)
        return std::nullopt;
    return value;
}

// A part with fuses of its own: its fuse memories by any of avrdude's names for them.
int ExplainOwn(const compose::InstalledPart &part, const QString &device, const fuses::OwnFuses &own,
               const QStringList &arguments)
{
    std::map<std::size_t, std::uint32_t> values;  // by the section's place
    for (const QString &argument : arguments) {
        const compose::PartMemory *memory = compose::LocateMemory(part, argument.section(u'=', 0, 0));
        const fuses::FuseSection *section = memory ? own.section(memory->name) : nullptr;
        const std::optional<std::uint32_t> value =
            section && argument.contains(u'=') ? ParseValue(argument.section(u'=', 1), section->size) : std::nullopt;
        if (!value) {
            QStringList names;
            for (const fuses::FuseSection &s : own.sections)
                names << s.memory + (s.aliases.isEmpty() ? QString() : u'/' + s.aliases.join(u'/'));
            Say(stderr, QStringLiteral("fusewerk: \"%1\" is not MEMORY=VALUE for a fuse memory of the %2 (%3) with its "
                                       "value in hex")
                            .arg(argument, device, names.join(QStringLiteral(", "))));
            return 2;
        }
        const auto index = static_cast<std::size_t>(section - own.sections.data());
        if (values.contains(index)) {
            Say(stderr, QStringLiteral("fusewerk: %1 is given twice").arg(section->name()));
            return 2;
        }
        values[index] = *value;
    }
    if (!own.meanings) {
        Say(stdout, QStringLiteral("%1: there are no fuse descriptions for this part; its fuse memories, as avrdude names them:")
                        .arg(device));
        for (const fuses::FuseSection &s : own.sections)
            Say(stdout, QStringLiteral("%1, %2 byte%3").arg(s.name()).arg(s.size).arg(s.size == 1 ? "" : "s"));
        for (const auto &[index, value] : values)
            Say(stdout, QStringLiteral("%1 = 0x%2").arg(own.sections[index].name(), own.sections[index].hexText(value)));
        return Flushed();
    }
    const bool defaults = values.empty();
    if (defaults)
        for (std::size_t i = 0; i < own.sections.size(); ++i)
            if (const fuses::MeaningRegister *reg = own.sections[i].reg)
                values[i] = reg->initval & own.sections[i].fullMask();
    Say(stdout, QStringLiteral("%1 (signature %2)%3")
                    .arg(QLatin1String(own.meanings->name), QLatin1String(own.meanings->signature),
                         defaults ? QStringLiteral(", factory defaults") : QString()));
    QStringList warnings;
    for (const auto &[index, value] : values) {
        const fuses::FuseSection &section = own.sections[index];
        const QString shown = QStringLiteral("%1 = 0x%2").arg(section.name(), section.hexText(value));
        Say(stdout, shown);
        if (!section.reg)
            Say(stdout, QStringLiteral("  no description in the device data"));
        else
            for (const QString &line : fuses::ExplainLines(*section.reg, value, own.meanings->onWhenSet))
                Say(stdout, QStringLiteral("  ") + line);
        for (const QString &risk : fuses::OwnFuseRisks(section, std::nullopt, value))
            warnings << QStringLiteral("Warning: %1: %2").arg(shown, risk);
    }
    for (const QString &warning : warnings)
        Say(stdout, warning);
    return Flushed();
}

}  // namespace

int RunExplain(const QStringList &arguments)
{
    if (arguments.isEmpty()) {
        Say(stderr, QStringLiteral("usage: fusewerk --explain PART [lfuse=HH] [hfuse=HH] [efuse=HH] [lock=HH] "
                                   "(or the part's own fuse memories: syscfg0=C4, fuse5=C4 ...)"));
        return 2;
    }
    const compose::Vocabulary words(AskInstalledAvrdude());
    if (const compose::InstalledPart *part = arguments.front().trimmed().isEmpty() ? nullptr : words.locatePart(arguments.front())) {
        const QString device = fuses::DeviceName(*part, words);
        if (const fuses::OwnFuses own = fuses::PartOwnFuses(device, part); own.any())
            return ExplainOwn(*part, device, own, arguments.mid(1));
    }
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
    return Flushed();
}
