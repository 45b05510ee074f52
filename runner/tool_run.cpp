#include "runner/tool_run.h"

#include "runner/tool_process.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace runner {

QString OwnDirectory() { return QCoreApplication::applicationDirPath(); }

QString SearchPath() { return qEnvironmentVariable("PATH", QStringLiteral("/usr/local/bin:/usr/bin:/bin")); }

ToolRunResult RunTool(const QString &commandLine, const ToolRunOptions &options)
{
    ToolRunResult result;
    ToolProcess tool;
    QEventLoop loop;
    ToolEnd end;
    QObject::connect(&tool, &ToolProcess::Output, [&](QByteArrayView bytes) {
        if (options.onOutput)
            options.onOutput(bytes);
    });
    QObject::connect(&tool, &ToolProcess::Ended, [&](const ToolEnd &e) {
        end = e;
        loop.quit();
    });
    QTimer idle;
    idle.setInterval(static_cast<int>(std::max<long long>(options.idleInterval.count(), 1)));
    QObject::connect(&idle, &QTimer::timeout, [&] {
        if (options.onIdle)
            options.onIdle();
    });
    if (tool.Start(commandLine, options.ownDir, options.searchPath)) {
        idle.start();
        loop.exec();
    }
    result.started = end.kind != ToolEnd::Kind::NotStarted;
    result.program = end.program;
    result.failure = end.failure;
    result.exitStatus = result.started ? end.WaitStatus() : -1;
    return result;
}

}  // namespace runner
