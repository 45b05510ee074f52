#include "runner/outcome.h"

#include <QFileInfo>

#include <cstring>

namespace runner {

QString ToolName(const QString &program)
{
    QString name = QFileInfo(program).fileName();
    if (name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        name.chop(4);
    return name.isEmpty() ? QStringLiteral("The tool") : name;
}

QString EndReason(const ToolEnd &end)
{
    const QString tool = ToolName(end.program);
    if (end.refused && end.kind == ToolEnd::Kind::Exited)
        return QStringLiteral("%1 did not accept the command line").arg(tool);
    switch (end.kind) {
    case ToolEnd::Kind::NotStarted:
        return QStringLiteral("%1 could not be started").arg(end.program.isEmpty() ? QStringLiteral("avrdude") : tool);
    case ToolEnd::Kind::Exited:
        return QStringLiteral("%1 ended with exit code %2").arg(tool).arg(end.code);
    case ToolEnd::Kind::Signalled:
        return QStringLiteral("%1 was ended by signal %2 (%3)")
            .arg(tool)
            .arg(end.code)
            .arg(QString::fromLocal8Bit(::strsignal(end.code)));
    case ToolEnd::Kind::Stopped:
        return QStringLiteral("it was stopped");
    }
    return {};
}

QString OutcomeText(const ToolEnd &end)
{
    const double seconds = static_cast<double>(end.elapsedMs) / 1000.0;
    const QString tool = ToolName(end.program);
    switch (end.kind) {
    case ToolEnd::Kind::NotStarted:
        if (end.program.isEmpty())
            return QStringLiteral("Could not start: the command line is empty");
        if (end.failure.contains(QLatin1String("was not found")))
            return QStringLiteral("Could not start %1: not found beside the program or on PATH").arg(end.program);
        return QStringLiteral("Could not start %1: %2").arg(end.program, end.failure);
    case ToolEnd::Kind::Exited:
        if (end.refused)
            return QStringLiteral("%1 did not accept the command line (it printed its usage text): see the output")
                .arg(tool);
        if (end.code == 0)
            return QStringLiteral("%1 finished in %2 s").arg(tool, QString::number(seconds, 'f', 2));
        return QStringLiteral("%1 failed (exit code %2) after %3 s: see the end of the output")
            .arg(tool)
            .arg(end.code)
            .arg(QString::number(seconds, 'f', 1));
    case ToolEnd::Kind::Signalled:
        return QStringLiteral("%1 after %2 s: see the end of the output").arg(EndReason(end), QString::number(seconds, 'f', 1));
    case ToolEnd::Kind::Stopped:
        return QStringLiteral("Stopped after %1 s").arg(QString::number(seconds, 'f', 1));
    }
    return {};
}

}  // namespace runner
