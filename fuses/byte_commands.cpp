#include "fuses/byte_commands.h"

#include "compose/command_line.h"

#include <QRegularExpression>

namespace fuses {

QString BuildReadCommand(const compose::FormState &s, const QString &operation, const compose::Vocabulary &words)
{
    QString out = compose::ProgramAndTarget(s, words) + operation + QStringLiteral("-D ");
    if (s.options.noWrite)
        out += QStringLiteral("-n ");
    out += QStringLiteral("-q ");
    return out + compose::ExitModePieces(s) + s.extraOptions;
}

QString BuildWriteCommand(const compose::FormState &s, const compose::Vocabulary &words)
{
    QString out = compose::ProgramAndTarget(s, words) + compose::OptionPieces(s) + compose::ExitModePieces(s) + s.extraOptions;
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

ValueLineWatch::ValueLineWatch(int index, ValueForm form) : index_(index), form_(form) {}

void ValueLineWatch::seeLine(QStringView line, bool cut)
{
    static const QRegularExpression decimalOnly(QStringLiteral("^\\s*[+-]?[0-9]+\\s*$"));
    static const QRegularExpression listOnly(QStringLiteral("^\\s*0x[0-9A-Fa-f]+(,0x[0-9A-Fa-f]+)*\\s*$"));
    if (lineNumber_ == index_ && HoldsValue(line, form_))
        atIndex_ = line.toString();
    const QRegularExpression &only = form_ == ValueForm::Decimal ? decimalOnly : listOnly;
    // Only a line that starts as a value can be nothing but one: the pattern is not tried on the rest.
    const QStringView start = line.trimmed();
    const QChar first = start.isEmpty() ? QChar() : start.front();
    const bool maybe = form_ == ValueForm::Decimal ? first.isDigit() || first == u'+' || first == u'-' : first == u'0';
    if (!cut && maybe && only.match(line).hasMatch() && ++onlyCount_ == 1)
        onlyLine_ = line.trimmed().toString();
    ++lineNumber_;
}

std::optional<QString> ValueLineWatch::value() const
{
    if (atIndex_)
        return atIndex_;
    if (onlyCount_ != 1)
        return std::nullopt;  // none, or more than one candidate: which one is meant is not known
    return onlyLine_;
}

std::optional<QString> FindValueLine(const QStringList &lines, int index, ValueForm form)
{
    ValueLineWatch watch(index, form);
    for (const QString &line : lines)
        watch.seeLine(QStringView(line).left(kKeptLineLength), line.size() > kKeptLineLength);
    return watch.value();
}

}  // namespace fuses
