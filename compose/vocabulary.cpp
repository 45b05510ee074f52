#include "compose/vocabulary.h"

namespace compose {

const std::array<PartCode, 28> PartCodeTable{{
    {"AT90S1200", "1200"}, {"AT90S2313", "2313"}, {"AT90S2333", "2333"}, {"AT90S2343", "2343"},
    {"AT90S4414", "4414"}, {"AT90S4433", "4433"}, {"AT90S4434", "4434"}, {"AT90S8515", "8515"},
    {"AT90S8535", "8535"}, {"ATmega103", "m103"}, {"ATmega128", "m128"}, {"ATmega16", "m16"},
    {"ATmega161", "m161"}, {"ATmega162", "m162"}, {"ATmega163", "m163"}, {"ATmega169", "m169"},
    {"ATmega32", "m32"},   {"ATmega48", "m48"},   {"ATmega64", "m64"},   {"ATmega8", "m8"},
    {"ATmega8515", "m8515"}, {"ATmega8535", "m8535"}, {"ATmega88", "m88"}, {"ATtiny12", "t12"},
    {"ATtiny13", "t13"},   {"ATtiny15", "t15"},   {"ATtiny2313", "t2313"}, {"ATtiny26", "t26"},
}};

const std::array<FormatLetter, 5> FormatLetterTable{{
    {"Autodetect", "a"}, {"Intel Hex", "i"}, {"Motorola", "s"}, {"Raw binary", "r"}, {"Immediate mode", "m"},
}};

QStringList DeviceList()
{
    return {"",          "AT90S2313", "AT90S2343",  "AT90S4414",  "AT90S4433", "AT90S4434", "AT90S8515",
            "AT90S8535", "ATmega103", "ATmega128",  "ATmega16",   "ATmega161", "ATmega162", "ATmega163",
            "ATmega169", "ATmega32",  "ATmega48",   "ATmega64",   "ATmega8",   "ATmega8515", "ATmega8535",
            "ATmega88",  "ATtiny12",  "ATtiny13",   "ATtiny15",   "ATtiny2313", "ATtiny26"};
}

QStringList ProgrammerList()
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

QString LookupPartCode(QStringView device)
{
    for (const auto &pair : PartCodeTable)
        if (device == QLatin1String(pair.name))
            return QString::fromLatin1(pair.code);
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
