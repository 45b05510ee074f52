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


QStringList DesignProgrammerList()
{
    return {"",           "abcmini",    "alf",        "avr109",      "avr910",     "avr911",    "avrisp",
            "avrispmk2",  "avrispmkII", "avrispv2",   "bascom",      "bsd",        "butterfly", "dragon_dw",
            "dragon_hvsp", "dragon_isp", "dragon_jtag", "dragon_pp", "dt006",      "frank-stk200", "jtag1",
            "jtag1slow",  "jtag2",      "jtag2dw",    "jtag2fast",   "jtag2isp",   "jtag2slow", "jtagmkI",
            "jtagmkII",   "pavr",       "picoweb",    "pony-stk200", "sp12",       "stk200",    "stk500",
            "stk500hvsp", "stk500pp",   "stk500v1",   "stk500v2",    "usbasp"};
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

QString LookupFormatLetter(QStringView format)
{
    for (const auto &pair : FormatLetterTable)
        if (format == QLatin1String(pair.name))
            return QString::fromLatin1(pair.letter);
    return QStringLiteral("a");
}

Vocabulary::Vocabulary(InstalledAvrdude installed) : installed_(std::move(installed))
{
    std::erase_if(installed_.parts, [](const InstalledPart &p) { return !IsToolWord(p.code); });
    std::erase_if(installed_.programmers, [](const InstalledProgrammer &p) { return !IsToolWord(p.id); });
    // Filled from the end: the first entry of a name wins, as a walk from the start would find it.
    for (std::size_t i = installed_.parts.size(); i-- > 0;)
        partByName_.insert(installed_.parts[i].name, i);
    for (std::size_t i = installed_.programmers.size(); i-- > 0;)
        programmerById_.insert(installed_.programmers[i].id, i);
}

const Vocabulary &OwnListsOnly()
{
    static const Vocabulary none;
    return none;
}

QStringList Vocabulary::deviceList() const
{
    QStringList parts;
    for (const InstalledPart &p : installed_.parts)
        parts << p.name;
    return Appended(DesignDeviceList(), parts);
}

QStringList Vocabulary::programmerList() const
{
    QStringList ids;
    for (const InstalledProgrammer &p : installed_.programmers)
        ids << p.id;
    return Appended(DesignProgrammerList(), ids);
}

const InstalledPart *Vocabulary::findPart(QStringView name) const
{
    const auto found = partByName_.constFind(name.toString());
    return found == partByName_.cend() ? nullptr : &installed_.parts[*found];
}

const InstalledProgrammer *Vocabulary::findProgrammer(QStringView id) const
{
    const auto found = programmerById_.constFind(id.toString());
    return found == programmerById_.cend() ? nullptr : &installed_.programmers[*found];
}

const InstalledPart *Vocabulary::locatePart(QStringView text) const
{
    for (const InstalledPart &p : installed_.parts)
        if (p.code.compare(text, Qt::CaseInsensitive) == 0 || p.name.compare(text, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

QStringList Vocabulary::partsWithSignature(QStringView signature) const
{
    QStringList names;
    for (const InstalledPart &p : installed_.parts)
        if (!p.signature.isEmpty() && p.signature.compare(signature, Qt::CaseInsensitive) == 0)
            names << p.name;
    return names;
}

QString Vocabulary::partCode(QStringView device) const
{
    for (const auto &pair : PartCodeTable)
        if (device == QLatin1String(pair.name))
            return QString::fromLatin1(pair.code);
    if (const InstalledPart *part = findPart(device))
        return part->code;
    return {};
}

QString Vocabulary::partName(QStringView code) const
{
    if (code.isEmpty())
        return {};
    for (const auto &pair : PartCodeTable)
        if (code == QLatin1String(pair.code))
            return QString::fromLatin1(pair.name);
    // avrdude takes its part codes without regard to case.
    for (const InstalledPart &part : installed_.parts)
        if (part.code.compare(code, Qt::CaseInsensitive) == 0)
            return part.name;
    return {};
}

}  // namespace compose
