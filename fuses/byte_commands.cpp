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

ValueLineWatch::ValueLineWatch(int index, ValueForm form) : index_(index), form_(form) {}

void ValueLineWatch::See(QStringView text)
{
    while (!text.isEmpty()) {
        const qsizetype end = text.indexOf(u'\n');
        const QStringView piece = end < 0 ? text : text.left(end);
        // Only a line's start can hold a value: the rest of an endless line is not kept.
        const qsizetype room = std::max<qsizetype>(kKeptLength - partial_.size(), 0);
        cut_ = cut_ || piece.size() > room;
        partial_ += piece.left(room);
        if (end < 0)
            break;
        SeeLine();
        text = text.mid(end + 1);
    }
}

void ValueLineWatch::SeeLine()
{
    static const QRegularExpression decimalOnly(QStringLiteral("^\\s*[+-]?[0-9]+\\s*$"));
    static const QRegularExpression listOnly(QStringLiteral("^\\s*0x[0-9A-Fa-f]+(,0x[0-9A-Fa-f]+)*\\s*$"));
    if (lineNumber_ == index_ && HoldsValue(partial_, form_))
        atIndex_ = partial_;
    const QRegularExpression &only = form_ == ValueForm::Decimal ? decimalOnly : listOnly;
    if (!cut_ && only.match(partial_).hasMatch() && ++onlyCount_ == 1)
        onlyLine_ = partial_.trimmed();
    ++lineNumber_;
    partial_.clear();
    cut_ = false;
}

std::optional<QString> ValueLineWatch::Finish()
{
    SeeLine();  // the last line, even when empty, counts as a line of its own
    if (atIndex_)
        return atIndex_;
    if (onlyCount_ != 1)
        return std::nullopt;  // none, or more than one candidate: which one is meant is not known
    return onlyLine_;
}

std::optional<QString> FindValueLine(const QStringList &lines, int index, ValueForm form)
{
    ValueLineWatch watch(index, form);
    watch.See(lines.join(u'\n'));
    return watch.Finish();
}

}  // namespace fuses
