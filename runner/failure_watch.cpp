#include "runner/failure_watch.h"

#include <QRegularExpression>

namespace runner {
namespace {

struct AdviceRow {
    const char *pattern;  // a regular expression over one line
    const char *advice;   // \1, \2, \3 stand for the pattern's groups (\1 for the first one matched)
};

// avrdude 7.1's messages, most telling first; each has a recording under tests/transcripts/.
const AdviceRow kAdvice[] = {
    {"device signature = 0x000000|device signature = 0xffffff|initialization failed|Yikes!",
     "The chip does not answer: check the wiring, the power and the target's clock; a slower bit clock may help "
     "(extra options -B 32)."},
    {"expected signature for (\\S+) is", "The chip is not the device chosen: its signature belongs to another part."},
    {"not in sync|programmer is not responding",
     "The programmer does not answer: check the port, the programmer type (-c), the baud rate (-b), the board's "
     "reset and the programmer's power."},
    {"cannot open port \\S+: No such file or directory",
     "The port does not exist: the port list shows the ports present (it is read again when it opens)."},
    {"address (0x[0-9a-fA-F]+) out of range",
     "The image is larger than the memory: address \\1 lies past its end."},
    {"device (0x[0-9a-fA-F]+) != input (0x[0-9a-fA-F]+) at addr (0x[0-9a-fA-F]+)",
     "The chip holds other data than the file, first at address \\3 (chip \\1, file \\2)."},
    {"(verification error, first mismatch at byte 0x[0-9a-fA-F]+.*|verification mismatch.*)",
     "The chip holds other data than the file: \\1."},
    {"file (.+) is not readable|can't open input file (.+)|cannot open input file (.+)",
     "The input file cannot be read: \\1."},
};

}  // namespace

QList<QLatin1StringView> FailureWatch::keys() const
{
    // Every line below reads, and every pattern of the table, holds one of these.
    return {QLatin1StringView("signature"),    QLatin1StringView("error:"),       QLatin1StringView("sync"),
            QLatin1StringView("initialization failed"), QLatin1StringView("yikes"), QLatin1StringView("not responding"),
            QLatin1StringView("cannot open"),  QLatin1StringView("out of range"), QLatin1StringView("!= input"),
            QLatin1StringView("verification"), QLatin1StringView("not readable"), QLatin1StringView("can't open")};
}

void FailureWatch::seeLine(QStringView whole, bool)
{
    const QString line = whole.left(1024).toString();  // a message is short; the rest of a long line is not
    // A signature is exactly three bytes: 0x1e930b0a is none.
    static const QRegularExpression signature(
        QStringLiteral("device signature = 0x([0-9a-fA-F]{6})(?![0-9a-fA-F])(?: \\(probably (\\S+)\\))?"));
    if (const auto m = signature.match(line); m.hasMatch()) {
        const QString seen = m.captured(1).toUpper();
        if (!signature_.isEmpty() && seen != signature_ && differing_.isEmpty())
            differing_ = signature_;
        signature_ = seen;
        if (m.hasCaptured(2))
            probably_ = m.captured(2);
    }
    if (line.contains(QLatin1String("expected signature for"), Qt::CaseInsensitive))
        refused_ = true;
    // avrdude's own error lines ("avrdude error:", "avrdude OS error:", "avrdude stk500_recv() error:"),
    // not any line with the word in it: a file named terror.hex is no error.
    static const QRegularExpression own(QStringLiteral("^avrdude\\b[^:]*\\berror:"));
    if (firstErrorLine_ < 0 && (own.match(line).hasMatch() || line.contains(QLatin1String("not in sync")))) {
        firstError_ = line;
        firstErrorLine_ = lineNumber_;
    }
    for (int rank = 0; rank < static_cast<int>(std::size(kAdvice)) && rank < adviceRank_; ++rank) {
        static const std::vector<QRegularExpression> patterns = [] {
            std::vector<QRegularExpression> out;
            for (const AdviceRow &a : kAdvice)
                out.emplace_back(QString::fromLatin1(a.pattern), QRegularExpression::CaseInsensitiveOption);
            return out;
        }();
        const auto m = patterns[static_cast<std::size_t>(rank)].match(line);
        if (!m.hasMatch())
            continue;
        QString text = QString::fromLatin1(kAdvice[rank].advice);
        QStringList groups;
        for (int g = 1; g <= m.lastCapturedIndex(); ++g)
            if (!m.captured(g).isEmpty())
                groups << m.captured(g).trimmed().remove(QRegularExpression(QStringLiteral("[.:]$")));
        for (int g = 0; g < groups.size(); ++g)
            text.replace(QStringLiteral("\\%1").arg(g + 1), groups[g]);
        advice_ = text;
        adviceRank_ = rank;
        break;
    }
    ++lineNumber_;
}

}  // namespace runner
