#pragma once
// Asking a program a question and waiting for its answer, for a bounded time.
#include <QByteArray>
#include <QProcessEnvironment>
#include <QStringList>
#include <optional>

namespace runner {

// Runs `program` with `arguments`, its output and errors merged and its input closed. The output,
// whatever its exit code, or nothing when the program does not start, crashes, or is not done within
// `timeoutMs` (it is then killed).
// It runs in `environment`: the tool's own (ToolEnvironment) unless another is given.
std::optional<QByteArray> QueryTool(const QString &program, const QStringList &arguments, int timeoutMs,
                                    const QProcessEnvironment &environment);
std::optional<QByteArray> QueryTool(const QString &program, const QStringList &arguments, int timeoutMs);

}  // namespace runner
