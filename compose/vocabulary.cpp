#include "compose/vocabulary.h"

#include "compose/installed.h"

#include <QSet>

#include <algorithm>

namespace compose {

const std::array<FormatLetter, 5> FormatLetterTable{{
    {"Autodetect", "a"}, {"Intel Hex", "i"}, {"Motorola", "s"}, {"Raw binary", "r"}, {"Immediate mode", "m"},
}};

namespace {

// `list` followed by the names it does not hold yet, sorted, each once.
QStringList Appended(QStringList list, QStringList more)
{
    std::ranges::sort(more);
    more.erase(std::unique(more.begin(), more.end()), more.end());
    const QSet<QString> own(list.begin(), list.end());
    for (const QString &name : more)
        if (!own.contains(name))
            list << name;
    return list;
}

}  // namespace

QStringList DesignDeviceList()
{
    QStringList list{QString()};
    for (const DeviceRow &row : DeviceTable)
        if (row.listed)
            list << QString::fromLatin1(row.name);
    return list;
}

QStringList DeviceList()
{
    QStringList parts;
    for (const InstalledPart &p : Installed().parts)
        parts << p.name;
    return Appended(DesignDeviceList(), parts);
}

QStringList DesignProgrammerList()
{
    return {"",           "abcmini",    "alf",        "avr109",      "avr910",     "avr911",    "avrisp",
            "avrispmk2",  "avrispmkII", "avrispv2",   "bascom",      "bsd",        "butterfly", "dragon_dw",
            "dragon_hvsp", "dragon_isp", "dragon_jtag", "dragon_pp", "dt006",      "frank-stk200", "jtag1",
            "jtag1slow",  "jtag2",      "jtag2dw",    "jtag2fast",   "jtag2isp",   "jtag2slow", "jtagmkI",
            "jtagmkII",   "pavr",       "picoweb",    "pony-stk200", "sp12",       "stk200",    "stk500",
            "stk500hvsp", "stk500pp",   "stk500v1",   "stk500v2",    "usbasp"};
}

QStringList ProgrammerList()
{
    QStringList ids;
    for (const InstalledProgrammer &p : Installed().programmers)
        ids << p.id;
    return Appended(DesignProgrammerList(), ids);
}

QStringList PortList()
{
    return {"", "lpt1", "lpt2", "lpt3", "com1", "com2", "com3", "com4", "com5", "com6", "com7", "com8", "com9"};
}

QStringList PortItems(const QStringList &serialPorts)
{
    return PortList() + serialPorts + QStringList{QStringLiteral("usb")};
}

QStringList FormatList()
{
    return {"Intel Hex", "Motorola", "Raw binary", "Immediate mode"};
}

QString LookupPartCode(QStringView device)
{
    for (const auto &pair : PartCodeTable)
        if (device == QLatin1String(pair.name))
            return QString::fromLatin1(pair.code);
    if (const InstalledPart *part = FindInstalledPart(device))
        return part->code;
    return {};
}

QString LookupPartName(QStringView code)
{
    if (code.isEmpty())
        return {};
    for (const auto &pair : PartCodeTable)
        if (code == QLatin1String(pair.code))
            return QString::fromLatin1(pair.name);
    // avrdude takes its part codes without regard to case.
    for (const InstalledPart &part : Installed().parts)
        if (part.code.compare(code, Qt::CaseInsensitive) == 0)
            return part.name;
    return {};
}

QString LookupFormatLetter(QStringView format)
{
    for (const auto &pair : FormatLetterTable)
        if (format == QLatin1String(pair.name))
            return QString::fromLatin1(pair.letter);
    return QStringLiteral("a");
}

}  // namespace compose
