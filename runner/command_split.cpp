#include "runner/command_split.h"

#include <QDir>
#include <QFileInfo>

namespace runner {

QStringList SplitCommandLine(const QString &line)
{
    QStringList args;
    const qsizetype n = line.size();
    qsizetype i = 0;
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    for (;;) {
        while (i < n && blank(line[i]))
            ++i;
        if (i >= n)
            break;
        QString arg;
        bool quoted = false;
        while (i < n && (quoted || !blank(line[i]))) {
            const QChar c = line[i];
            if (c == u'\\') {
                qsizetype j = i;
                while (j < n && line[j] == u'\\')
                    ++j;
                const qsizetype count = j - i;
                if (j < n && line[j] == u'"') {
                    arg += QString(count / 2, u'\\');
                    if (count % 2) {
                        arg += u'"';
                        i = j + 1;
                    } else {
                        i = j;  // the quote groups, on the next turn
                    }
                } else {
                    arg += QString(count, u'\\');
                    i = j;
                }
            } else if (c == u'"') {
                quoted = !quoted;
                ++i;
            } else {
                arg += c;
                ++i;
            }
        }
        args += arg;
    }
    return args;
}

namespace {

QString FindIn(const QString &name, const QString &ownDir, const QString &searchPath)
{
    const auto runnable = [](const QString &path) {
        const QFileInfo info(path);
        return info.isFile() && info.isExecutable();
    };
    if (!ownDir.isEmpty() && runnable(QDir(ownDir).filePath(name)))
        return QDir(ownDir).filePath(name);
    for (const QString &dir : searchPath.split(QLatin1Char(':'))) {
        const QString candidate = QDir(dir.isEmpty() ? QStringLiteral(".") : dir).filePath(name);
        if (runnable(candidate))
            return candidate;
    }
    return {};
}

}  // namespace

QString FindProgram(const QString &name, const QString &ownDir, const QString &searchPath)
{
    if (name.isEmpty())
        return {};
    if (name.contains(QLatin1Char('/')))
        return name;
    QString found = FindIn(name, ownDir, searchPath);
    if (found.isEmpty() && name.size() > 4 && name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        found = FindIn(name.chopped(4), ownDir, searchPath);
    return found;
}

}  // namespace runner
