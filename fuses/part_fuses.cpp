#include "fuses/part_fuses.h"

#include "fuses/fuse_layout.h"

#include <QRegularExpression>
#include <algorithm>
#include <bit>

namespace fuses {
namespace {

bool IsLockMemory(QStringView memory) { return memory == u"lock" || memory == u"lockbits"; }

bool OneBit(const MeaningField &field) { return field.valueCount == 0 && std::has_single_bit(field.mask); }

const MeaningValue *SettingNamed(const MeaningField &field, bool (*matches)(QLatin1String))
{
    for (const MeaningValue &v : Settings(field))
        if (matches(QLatin1String(v.name)))
            return &v;
    return nullptr;
}

bool KeepsUpdi(QLatin1String name) { return name.contains(QLatin1String("PDI")); }
bool NoLock(QLatin1String name) { return name == QLatin1String("NOLOCK") || name == QLatin1String("NO_LOCK"); }

// The fields whose unlisted values leave nobody knowing how the chip clocks or starts.
bool IsClockOrStartup(const MeaningField &field)
{
    const QLatin1String name(field.name);
    return field.valueCount > 0 && (name.contains(QLatin1String("CKSEL")) || name == QLatin1String("CLKSEL") ||
                                    name == QLatin1String("FREQSEL") || name == QLatin1String("SUT"));
}

QString Quoted(const MeaningField &field, std::uint32_t value)
{
    const MeaningValue *setting = SettingOf(field, value);
    return setting ? QStringLiteral("\"%1\"").arg(QString::fromUtf8(setting->caption)) : Describe(field, value);
}

}  // namespace

QString FuseSection::name() const
{
    return aliases.isEmpty() ? memory : QStringLiteral("%1 (%2)").arg(aliases.front(), memory);
}

QString FuseSection::heading() const
{
    QString out = name();
    if (reg && *reg->caption)
        out += QStringLiteral(": ") + QString::fromUtf8(reg->caption);
    else if (lock)
        out += QStringLiteral(": Lock bits");
    return out;
}

std::uint32_t FuseSection::fullMask() const { return size >= 4 ? 0xFFFFFFFFu : (1u << (8 * size)) - 1; }

QString FuseSection::hexText(std::uint32_t value) const
{
    return QStringLiteral("%1").arg(value & fullMask(), 2 * size, 16, QLatin1Char('0')).toUpper();
}

QString FuseSection::immediate(std::uint32_t value) const
{
    QStringList bytes;
    for (int i = 0; i < size; ++i)
        bytes << QStringLiteral("0x%1").arg((value >> (8 * i)) & 0xFF, 2, 16, QLatin1Char('0')).toUpper().replace(u'X', u'x');
    return bytes.join(u',');
}

std::optional<std::uint32_t> FuseSection::parseHex(QStringView text) const
{
    static const QRegularExpression digits(QStringLiteral("^[0-9A-Fa-f]+$"));
    if (text.size() != 2 * size || !digits.match(text).hasMatch())
        return std::nullopt;
    return text.toUInt(nullptr, 16);
}

const FuseSection *OwnFuses::section(QStringView memory) const
{
    for (const FuseSection &s : sections)
        if (s.memory == memory)
            return &s;
    return nullptr;
}

bool IsOwnFuseMemory(QStringView memory)
{
    static const QRegularExpression fuse(QStringLiteral("^fuse\\d*$"));
    return IsLockMemory(memory) || fuse.match(memory).hasMatch();
}

OwnFuses PartOwnFuses(QStringView device, const compose::InstalledPart *part)
{
    OwnFuses out;
    if (!part || std::ranges::any_of(FuseLayoutTable, [&](const DeviceFuseLayout &d) { return device == QLatin1String(d.device); }))
        return out;
    for (const QStringView classic : {u"lfuse", u"hfuse", u"efuse"})
        if (part->HasMemory(classic))
            return out;
    // A register of the data sits at its offset from the start of the fuses: avrdude's "fuses"
    // memory where the part has it, else its first fuse memory.
    std::optional<qint64> base;
    if (const compose::PartMemory *all = part->Memory(u"fuses"))
        base = all->offset;
    for (const compose::PartMemory &m : part->memories)
        if (IsOwnFuseMemory(m.name) && !IsLockMemory(m.name) && !base.has_value())
            base = m.offset;
    out.meanings = FindMeanings(device);
    for (const compose::PartMemory &m : part->memories) {
        if (!IsOwnFuseMemory(m.name) || m.size < 1 || m.size > 4)
            continue;
        FuseSection section{m.name, {}, static_cast<int>(m.size), IsLockMemory(m.name), nullptr};
        for (const compose::MemoryAlias &a : part->aliases)
            if (a.memory == m.name)
                section.aliases << a.name;
        if (out.meanings)
            for (const MeaningRegister &reg : Registers(*out.meanings))
                if (reg.lock == section.lock && reg.size == section.size &&
                    (section.lock || (base && m.offset - *base == reg.offset)))
                    section.reg = &reg;
        out.sections.push_back(std::move(section));
    }
    if (std::ranges::none_of(out.sections, [](const FuseSection &s) { return s.reg; }))
        out.meanings = nullptr;
    return out;
}

QStringList OwnFuseRisks(const FuseSection &section, std::optional<std::uint32_t> old, std::uint32_t value)
{
    QStringList risks;
    if (!section.reg)
        return risks;
    for (const MeaningField &field : Fields(*section.reg)) {
        const QLatin1String name(field.name);
        const MeaningValue *setting = SettingOf(field, value);
        if (name == QLatin1String("RSTPINCFG") && SettingNamed(field, KeepsUpdi) &&
            !(setting && KeepsUpdi(QLatin1String(setting->name))))
            risks << QStringLiteral("RSTPINCFG: the UPDI pin becomes %1. UPDI programming then works only with a "
                                    "high-voltage UPDI programmer (12 V on that pin).")
                         .arg(Quoted(field, value));
        else if (name == QLatin1String("RSTDISBL") && OneBit(field) && FieldBits(field, value) == 0)
            risks << QStringLiteral("RSTDISBL: the reset pin becomes an I/O pin; the chip can then be programmed only "
                                    "with 12 V on its reset pin.");
        else if (const MeaningValue *open = section.lock ? SettingNamed(field, NoLock) : nullptr; open && setting != open)
            risks << QStringLiteral("%1: %2 instead of \"%3\". The chip can then be read and written again only after "
                                    "a chip erase, which loses the flash and EEPROM.")
                         .arg(name, Quoted(field, value), QString::fromUtf8(open->caption));
        else if (IsClockOrStartup(field) && !setting && !(old && FieldBits(field, *old) == FieldBits(field, value)))
            risks << QStringLiteral("%1 (%2): %3, which the device data lists as no setting. The chip may not run "
                                    "or start at all.")
                         .arg(name, QString::fromUtf8(field.caption), Describe(field, value));
    }
    return risks;
}

}  // namespace fuses
