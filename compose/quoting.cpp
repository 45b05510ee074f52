#include "compose/quoting.h"

namespace compose {

QString EscapeForQuotes(QStringView text)
{
    QString out;
    out.reserve(text.size() + 2);
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype backslashes = 0;
        while (i < text.size() && text[i] == u'\\') {
            ++backslashes;
            ++i;
        }
        // Backslashes before a quote, or before the closing quote that follows the text, are doubled;
        // elsewhere they stand for themselves.
        const bool beforeQuote = i == text.size() || text[i] == u'"';
        out += QString(beforeQuote ? 2 * backslashes : backslashes, u'\\');
        if (i < text.size()) {
            if (text[i] == u'"')
                out += QStringLiteral("\\\"");
            else
                out += text[i];
            ++i;
        }
    }
    return out;
}

QString QuoteWord(QStringView text)
{
    const bool plain = !text.isEmpty() && !text.contains(u' ') && !text.contains(u'\t') && !text.contains(u'"');
    return plain ? text.toString() : QLatin1Char('"') + EscapeForQuotes(text) + QLatin1Char('"');
}

}  // namespace compose
