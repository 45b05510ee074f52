#include "runner/tool_run.h"

#include <QCoreApplication>

namespace runner {

QString OwnDirectory() { return QCoreApplication::applicationDirPath(); }

QProcessEnvironment ToolEnvironment(const QProcessEnvironment &from)
{
    QProcessEnvironment env = from;
    for (const QString &name : from.keys())
        // glibc's getopt once took its order from _<pid>_GNU_nonoption_argv_flags_ too.
        if (name == QLatin1String("POSIXLY_CORRECT") || name == QLatin1String("LD_PRELOAD") ||
            name == QLatin1String("LD_AUDIT") || name.endsWith(QLatin1String("_GNU_nonoption_argv_flags_")))
            env.remove(name);
    env.remove(QStringLiteral("LANGUAGE"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    return env;
}

QString SearchPath() { return qEnvironmentVariable("PATH", QStringLiteral("/usr/local/bin:/usr/bin:/bin")); }

}  // namespace runner
