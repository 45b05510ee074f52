#include "fuses/device_meanings.h"

#include <bit>

namespace fuses {
namespace {
#include "fuses/device_meanings.inc"
}  // namespace

std::span<const MeaningDevice> AllMeanings() { return kMeaningDevices; }

const MeaningDevice *FindMeanings(QStringView device)
{
    // Sorted by name with case, so a walk: 200 entries, compared once per device change.
    for (const MeaningDevice &d : kMeaningDevices)
        if (device.compare(QLatin1String(d.name), Qt::CaseInsensitive) == 0)
            return &d;
    return nullptr;
}

std::span<const MeaningRegister> Registers(const MeaningDevice &device)
{
    return std::span(kMeaningRegisters).subspan(static_cast<std::size_t>(device.firstRegister),
                                                static_cast<std::size_t>(device.registerCount));
}

const MeaningRegister *RegisterOf(const MeaningDevice &device, FuseByte byte)
{
    for (const MeaningRegister &reg : Registers(device))
        if (reg.byte == byte)
            return &reg;
    return nullptr;
}

std::span<const MeaningField> Fields(const MeaningRegister &reg)
{
    return std::span(kMeaningFields).subspan(static_cast<std::size_t>(reg.firstField),
                                             static_cast<std::size_t>(reg.fieldCount));
}

std::span<const MeaningValue> Settings(const MeaningField &field)
{
    return std::span(kMeaningValues).subspan(static_cast<std::size_t>(field.firstValue),
                                             static_cast<std::size_t>(field.valueCount));
}

unsigned FieldBits(const MeaningField &field, unsigned byte)
{
    return (byte & field.mask) >> std::countr_zero(static_cast<unsigned>(field.mask));
}

unsigned WithFieldBits(const MeaningField &field, unsigned byte, unsigned raw)
{
    const unsigned shifted = (raw << std::countr_zero(static_cast<unsigned>(field.mask))) & field.mask;
    return (byte & ~static_cast<unsigned>(field.mask)) | shifted;
}

const MeaningValue *SettingOf(const MeaningField &field, unsigned byte)
{
    const unsigned raw = FieldBits(field, byte);
    for (const MeaningValue &v : Settings(field))
        if (v.value == raw)
            return &v;
    return nullptr;
}

QString Describe(const MeaningField &field, unsigned byte)
{
    if (field.valueCount == 0 && std::popcount(static_cast<unsigned>(field.mask)) == 1)
        return FieldBits(field, byte) == 0 ? QStringLiteral("programmed") : QStringLiteral("unprogrammed");
    if (const MeaningValue *setting = SettingOf(field, byte))
        return QString::fromUtf8(setting->caption);
    return QStringLiteral("0x%1 (not a listed setting)")
        .arg(QString::number(FieldBits(field, byte), 16).rightJustified(2, u'0').toUpper());
}

const MeaningField *ClockField(const MeaningRegister &reg)
{
    for (const MeaningField &field : Fields(reg))
        if (QLatin1String(field.name).contains(QLatin1String("CKSEL")) && field.valueCount > 0)
            return &field;
    return nullptr;
}

bool IsExternalClock(const MeaningValue *setting)
{
    return setting && QLatin1String(setting->caption).startsWith(QLatin1String("Ext."));
}

QString BitName(const MeaningRegister &reg, int bit)
{
    for (const MeaningField &field : Fields(reg)) {
        if (!(field.mask & (1u << bit)))
            continue;
        const QString name = QLatin1String(field.name);
        if (std::popcount(static_cast<unsigned>(field.mask)) == 1)
            return name;
        const int place = std::popcount(static_cast<unsigned>(field.mask) & ((1u << bit) - 1));
        // The lock bits count from 1 (LB1, LB2) in every datasheet; other fields from 0.
        return name + QString::number(name == QLatin1String("LB") ? place + 1 : place);
    }
    return {};
}

QString OneBitMeaning(const MeaningField &field, unsigned bit, bool onWhenSet)
{
    const QString caption = QString::fromUtf8(field.caption);
    return (bit != 0) == onWhenSet ? QStringLiteral("on, \"%1\"").arg(caption) : QStringLiteral("off, not \"%1\"").arg(caption);
}

QString SectionBoundary(const MeaningRegister &reg, unsigned value)
{
    const QLatin1String name(reg.name);
    const bool end = name == QLatin1String("BOOTEND") || name == QLatin1String("APPEND");
    const bool size = name == QLatin1String("BOOTSIZE") || name == QLatin1String("CODESIZE");
    if (!end && !size)
        return {};
    const unsigned block = end ? 256 : 512;
    const unsigned bytes = (value & 0xFF) * block;
    const QString at = QStringLiteral("0x%1").arg(QString::number(bytes, 16).toUpper());
    const bool boot = name == QLatin1String("BOOTEND") || name == QLatin1String("BOOTSIZE");
    if (value == 0)
        return boot ? QStringLiteral("no boot section: the flash starts with the application")
                    : QStringLiteral("the application code runs to the end of the flash (no application data section)");
    if (boot)
        return QStringLiteral("the boot section is the flash's first %1 bytes (0x0000 to 0x%2); the application starts at %3")
            .arg(bytes).arg(QString::number(bytes - 1, 16).toUpper()).arg(at);
    return QStringLiteral("the application code ends at %1 (%2 bytes from the flash's start, boot section included); "
                          "the flash from there on holds application data")
        .arg(at).arg(bytes);
}

QStringList ExplainLines(const MeaningRegister &reg, unsigned value, bool onWhenSet)
{
    QStringList lines;
    if (const QString boundary = SectionBoundary(reg, value); !boundary.isEmpty())
        lines << QStringLiteral("%1 = 0x%2: %3").arg(QLatin1String(reg.name), QString::number(value & 0xFF, 16).rightJustified(2, u'0').toUpper(), boundary);
    for (const MeaningField &field : Fields(reg)) {
        const unsigned bits = FieldBits(field, value);
        const QString name = QLatin1String(field.name);
        if (field.valueCount == 0 && std::popcount(static_cast<unsigned>(field.mask)) == 1 && onWhenSet)
            lines << QStringLiteral("%1 = %2: %3").arg(name).arg(bits).arg(OneBitMeaning(field, bits, true));
        else if (field.valueCount == 0 && std::popcount(static_cast<unsigned>(field.mask)) == 1)
            lines << QStringLiteral("%1 = %2 (%3): %4").arg(name).arg(bits).arg(Describe(field, value), OneBitMeaning(field, bits));
        else
            lines << QStringLiteral("%1 = 0x%2: %3")
                         .arg(name, QString::number(bits, 16).rightJustified(2, u'0').toUpper(), Describe(field, value));
    }
    return lines;
}

}  // namespace fuses
