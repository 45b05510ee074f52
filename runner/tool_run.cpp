#include "runner/tool_run.h"

#include <QCoreApplication>

namespace runner {

QString OwnDirectory() { return QCoreApplication::applicationDirPath(); }

QString SearchPath() { return qEnvironmentVariable("PATH", QStringLiteral("/usr/local/bin:/usr/bin:/bin")); }

}  // namespace runner
