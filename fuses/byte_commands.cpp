#include "fuses/byte_commands.h"

#include "compose/command_line.h"

#include <QRegularExpression>

namespace fuses {

QString BuildReadCommand(const compose::FormState &s, const QString &operation)
{
    QString out = compose::ProgramAndTarget(s) + operation + QStringLiteral("-D ");
    if (s.options.noWrite)
        out += QStringLiteral("-n ");
    out += QStringLiteral("-q ");
    return out + compose::ExitModePieces(s) + s.extraOptions;
}

QString BuildWriteCommand(const compose::FormState &s)
{
    QString out = compose::ProgramAndTarget(s) + compose::OptionPieces(s) + compose::ExitModePieces(s) + s.extraOptions;
    // The write operation follows: extra options typed without a trailing blank would run into it
    // ("-v-U lfuse:w:..."), and avrdude would answer with its usage text and write nothing.
    if (!out.isEmpty() && !out.back().isSpace())
        out += QLatin1Char(' ');
    return out;
}

QString WriteOperation(const QString &memory, const QString &value)
{
    return QStringLiteral("-U %1:w:0x%2:m ").arg(memory, value);
}

QString ReadOperation(const QString &memory, QChar letter)
{
    return QStringLiteral("-U %1:r:-:%2 ").arg(memory, letter);
}

bool HoldsValue(QStringView line, ValueForm form)
{
    if (form == ValueForm::HexList) {
        static const QRegularExpression start(QStringLiteral("^0x\\s*[0-9A-Fa-f]"));
        return start.match(line).hasMatch();
    }
    static const QRegularExpression number(QStringLiteral("^[ \\t\\n\\v\\f\\r]*[+-]?[0-9]"));
    return number.match(line).hasMatch();
}

std::optional<QString> FindValueLine(const QStringList &lines, int index, ValueForm form)
{
    if (index >= 0 && index < lines.size() && HoldsValue(lines[index], form))
        return lines[index];
    static const QRegularExpression decimalOnly(QStringLiteral("^\\s*[+-]?[0-9]+\\s*$"));
    static const QRegularExpression listOnly(QStringLiteral("^\\s*0x[0-9A-Fa-f]+(,0x[0-9A-Fa-f]+)*\\s*$"));
    const QRegularExpression &only = form == ValueForm::Decimal ? decimalOnly : listOnly;
    std::optional<QString> found;
    for (const QString &line : lines) {
        if (!only.match(line).hasMatch())
            continue;
        if (found)
            return std::nullopt;  // more than one candidate: which one is meant is not known
        found = line;
    }
    if (!found)
        return std::nullopt;
    return found->trimmed();
}

}  // namespace fuses
