#include "compose/command_line.h"

#include "compose/options.h"
#include "compose/quoting.h"
#include "compose/vocabulary.h"

namespace compose {
namespace {

// The flags of the ticked boxes of a table, in its order.
template <typename Group, typename Table>
QString Flags(const Group &values, const Table &table)
{
    QString out;
    for (const auto &row : table)
        if (values.*row.member)
            out += QLatin1String(row.flag);
    return out;
}

// "-U <memory>:<op>:"<file>":<letter> " for each wanted operation, always write, read, verify.
QString MemoryPieces(const char *memory, const FormState::Memory &m)
{
    const QString letter = LookupFormatLetter(m.format);
    QString out;
    const auto piece = [&](char op) {
        out += QStringLiteral("-U %1:%2:\"%3\":%4 ").arg(QLatin1String(memory), QChar(op), EscapeForQuotes(m.file), letter);
    };
    if (m.write)
        piece('w');
    if (m.read)
        piece('r');
    if (m.verify)
        piece('v');
    return out;
}

}  // namespace

QString ProgramAndTarget(const FormState &s, const Vocabulary &words)
{
    QString out = QStringLiteral("avrdude.exe ");
    // Presence is tested on the texts: a device without a part code still gives "-p  ".
    if (!s.device.isEmpty())
        out += QStringLiteral("-p ") + words.partCode(s.device) + QLatin1Char(' ');
    if (!s.programmer.isEmpty())
        out += QStringLiteral("-c ") + QuoteWord(s.programmer) + QLatin1Char(' ');
    if (!s.port.isEmpty())
        out += QStringLiteral("-P ") + QuoteWord(s.port) + QLatin1Char(' ');
    return out;
}

QString OptionPieces(const FormState &s) { return Flags(s.options, OptionTable); }

QString ExitModePieces(const FormState &s) { return Flags(s.exitModes, ExitModeTable); }

QString UploadPieces(const FormState &s)
{
    if (s.uploadSpeed.isEmpty())
        return {};
    return QStringLiteral("-b ") + QuoteWord(s.uploadSpeed) + (s.options.disableAutoErase ? QString() : QStringLiteral(" -D")) + u' ';
}

QString BuildCommandLine(const FormState &s, const Vocabulary &words)
{
    return ProgramAndTarget(s, words) + OptionPieces(s) + UploadPieces(s) +
           MemoryPieces("flash", s.flash) + MemoryPieces("eeprom", s.eeprom) +
           ExitModePieces(s) + s.extraOptions;
}

}  // namespace compose
