#include "fuses/fuse_safety.h"

#include "fuses/device_meanings.h"

#include <QRegularExpression>

namespace fuses {
namespace {

struct Risk {
    const char *name;
    bool whenSet;  // the risky state of the bit: 1 (unprogrammed) or 0 (programmed)
    const char *what;
};

constexpr Risk kFuseRisks[] = {
    {"RSTDISBL", false,
     "RSTDISBL: the reset pin becomes an I/O pin; ISP programming will no longer work, only high-voltage "
     "programming can undo this."},
    {"DWEN", false,
     "DWEN: debugWIRE takes over the reset pin; ISP programming will no longer work until debugWIRE is turned "
     "off through a debugWIRE debugger, or by high-voltage programming."},
    {"SPIEN", true,
     "SPIEN: serial programming is disabled; ISP programming will no longer work, only high-voltage "
     "programming can undo this."},
};

// The bit a group's layout names `name`, or -1.
int BitNamed(const GroupLayout &group, const char *name)
{
    for (int k = 0; k < 8; ++k)
        if (group.captions[k] == QLatin1String(name))
            return k;
    return -1;
}

}  // namespace

bool IsCompleteByte(QStringView text)
{
    static const QRegularExpression twoDigits(QStringLiteral("^[0-9A-Fa-f]{2}$"));
    return twoDigits.match(text).hasMatch();
}

bool IsCalibrationValue(QStringView text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9A-Fa-f]{1,8}$"));
    return digits.match(text).hasMatch();
}

QStringList LockOutRisks(const FuseLayout &layout, FuseByte byte, unsigned value)
{
    QStringList risks;
    if (!layout.inTable)
        return risks;
    const GroupLayout &g = layout[byte];
    const auto isSet = [value](int bit) { return ((value >> bit) & 1u) != 0; };
    if (byte == FuseByte::Lock) {
        const int lb1 = BitNamed(g, "LB1"), lb2 = BitNamed(g, "LB2");
        if (lb1 < 0 || lb2 < 0 || (isSet(lb1) && isSet(lb2)))
            return risks;
        if (!isSet(lb1) && !isSet(lb2))
            risks << QStringLiteral("LB1 and LB2 (lock mode 3): further programming and verification of the flash and "
                                    "EEPROM are disabled; only a chip erase clears them, and it empties the flash and "
                                    "EEPROM.");
        else if (!isSet(lb1))
            risks << QStringLiteral("LB1 (lock mode 2): further programming of the flash and EEPROM is disabled; only a "
                                    "chip erase clears it, and it empties the flash and EEPROM.");
        else
            risks << QStringLiteral("LB2: the lock bits then stand in a combination the datasheet lists as no mode; "
                                    "only a chip erase clears it, and it empties the flash and EEPROM.");
        return risks;
    }
    for (const Risk &risk : kFuseRisks)
        if (const int bit = BitNamed(g, risk.name); bit >= 0 && isSet(bit) == risk.whenSet)
            risks << QString::fromLatin1(risk.what);
    return risks;
}

QStringList WriteRisks(QStringView device, const compose::InstalledPart *part, FuseByte byte, std::optional<unsigned> old,
                       unsigned value, bool clockConfirmed)
{
    FuseLayout layout = LookupFuseLayout(device, part);
    const MeaningDevice *meanings = FindMeanings(device);
    if (meanings) {
        layout.inTable = true;
        for (const MeaningRegister &reg : Registers(*meanings))
            for (int k = 0; k < 8 && reg.byte; ++k)
                if (const QString name = BitName(reg, k); !name.isEmpty())
                    layout.groups[Index(*reg.byte)].captions[static_cast<std::size_t>(k)] = name;
    }
    QStringList risks = LockOutRisks(layout, byte, value);
    const MeaningRegister *reg = meanings ? RegisterOf(*meanings, byte) : nullptr;
    const MeaningField *clock = reg && !clockConfirmed ? ClockField(*reg) : nullptr;
    if (!clock)
        return risks;
    const MeaningValue *next = SettingOf(*clock, value);
    const MeaningValue *before = old ? SettingOf(*clock, *old) : nullptr;
    // A setting the data does not list is reserved: nobody can say what clock the chip then wants.
    if (!next && !(old && FieldBits(*clock, *old) == FieldBits(*clock, value))) {
        risks << QStringLiteral("Clock source: from \"%1\" to %2, which the device data lists as no setting of %3. "
                                "The chip may not run at all, and may need high-voltage programming.")
                     .arg(old ? Describe(*clock, *old) : QStringLiteral("not read"), Describe(*clock, value),
                          QString::fromUtf8(clock->name));
        return risks;
    }
    if (IsExternalClock(next) && !IsExternalClock(before))
        risks << QStringLiteral("Clock source: from \"%1\" to \"%2\". The chip will then run only with that clock "
                                "or crystal attached, and needs it to be programmed again.")
                     .arg(old ? Describe(*clock, *old) : QStringLiteral("not read"), QString::fromUtf8(next->caption));
    return risks;
}

bool HasBitNames(QStringView device, const compose::InstalledPart *part, FuseByte byte)
{
    if (const MeaningDevice *meanings = FindMeanings(device); meanings && RegisterOf(*meanings, byte))
        return true;
    const FuseLayout layout = LookupFuseLayout(device, part);
    if (!layout.inTable || !layout[byte].on)
        return false;
    for (int k = 0; k < 8; ++k)
        if (layout[byte].captions[static_cast<std::size_t>(k)] != PlainBitCaption(k))
            return true;
    return false;
}

}  // namespace fuses
