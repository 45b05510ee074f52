#include "runner/tool_query.h"

#include "runner/tool_process.h"
#include "runner/tool_run.h"

#include <QProcess>

#include <signal.h>

namespace runner {

std::optional<QByteArray> QueryTool(const QString &program, const QStringList &arguments, int timeoutMs)
{
    return QueryTool(program, arguments, timeoutMs, ToolEnvironment());
}

std::optional<QByteArray> QueryTool(const QString &program, const QStringList &arguments, int timeoutMs,
                                    const QProcessEnvironment &environment)
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setChildProcessModifier(ToolChildSetup());
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs))
        return std::nullopt;
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        // A program that does not answer in time is ended with everything it started.
        ::kill(-static_cast<pid_t>(process.processId()), SIGKILL);
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return std::nullopt;  // a crash; an exit code is the caller's to judge (avrdude's "-c ?" ends with 1)
    return process.readAll();
}

}  // namespace runner
