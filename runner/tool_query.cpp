#include "runner/tool_query.h"

#include <QProcess>

namespace runner {

std::optional<QByteArray> QueryTool(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs))
        return std::nullopt;
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit)
        return std::nullopt;  // a crash; an exit code is the caller's to judge (avrdude's "-c ?" ends with 1)
    return process.readAll();
}

}  // namespace runner
