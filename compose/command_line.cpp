#include "compose/command_line.h"

#include "compose/options.h"
#include "compose/vocabulary.h"

namespace compose {
namespace {

// The flags of the ticked boxes of a table, in its order.
QString Flags(const FormState &s, const auto &table)
{
    QString out;
    for (const OptionBox &row : table)
        if (s.*row.member)
            out += QLatin1String(row.flag);
    return out;
}

// "-U <memory>:<op>:"<file>":<letter> " for each wanted operation, always write, read, verify.
QString MemoryPieces(const char *memory, bool write, bool read, bool verify, const QString &file,
                     const QString &format)
{
    const QString letter = LookupFormatLetter(format);
    QString out;
    const auto piece = [&](char op) {
        out += QStringLiteral("-U %1:%2:\"%3\":%4 ").arg(QLatin1String(memory), QChar(op), file, letter);
    };
    if (write)
        piece('w');
    if (read)
        piece('r');
    if (verify)
        piece('v');
    return out;
}

}  // namespace

QString ProgramAndTarget(const FormState &s)
{
    QString out = QStringLiteral("avrdude.exe ");
    // Presence is tested on the texts: a device without a part code still gives "-p  ".
    if (!s.DeviceComboBox.isEmpty())
        out += QStringLiteral("-p ") + LookupPartCode(s.DeviceComboBox) + QLatin1Char(' ');
    if (!s.ProgComboBox.isEmpty())
        out += QStringLiteral("-c ") + s.ProgComboBox + QLatin1Char(' ');
    if (!s.PortComboBox.isEmpty())
        out += QStringLiteral("-P ") + s.PortComboBox + QLatin1Char(' ');
    return out;
}

QString OptionPieces(const FormState &s) { return Flags(s, OptionTable); }

QString ExitModePieces(const FormState &s) { return Flags(s, ExitModeTable); }

QString BuildCommandLine(const FormState &s)
{
    return ProgramAndTarget(s) + OptionPieces(s) +
           MemoryPieces("flash", s.FlashWrite, s.FlashRead, s.FlashVerify, s.Edit1, s.ComboBox4) +
           MemoryPieces("eeprom", s.EEPROMWrite, s.EEPROMRead, s.EEPROMVerify, s.Edit2, s.ComboBox5) +
           ExitModePieces(s) + s.Edit4;
}

}  // namespace compose
