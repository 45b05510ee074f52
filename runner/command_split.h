#pragma once
// Turning the one-string command line into a program and its arguments.
#include <QString>
#include <QStringList>

namespace runner {

// Blanks (space, tab) separate arguments; double quotes group and are removed; a backslash is
// literal except before a double quote: 2n backslashes and a quote give n backslashes and a
// grouping quote, 2n+1 give n backslashes and a literal quote.
QStringList SplitCommandLine(const QString &line);

// Where the program named by the first word is: a name with a directory is used as it is; a bare
// name is looked for in `ownDir`, then along `searchPath` (colon-separated); a name ending in ".exe"
// that is not found is looked for without it. Empty when nothing is found.
QString FindProgram(const QString &name, const QString &ownDir, const QString &searchPath);

}  // namespace runner
