#pragma once
// How a value is written into a command line so that the line's splitter (blanks separate, double
// quotes group, 2n backslashes before a quote stand for n, and 2n+1 for n and a literal quote) gives
// it back as exactly one argument with exactly its own text.
#include <QString>

namespace compose {

// `text` as it must stand between a pair of double quotes.
QString EscapeForQuotes(QStringView text);
// `text` as one word: unchanged when it holds no blank, tab or quote (and is not empty); otherwise
// between double quotes, escaped.
QString QuoteWord(QStringView text);

}  // namespace compose
