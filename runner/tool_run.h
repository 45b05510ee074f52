#pragma once
// Runs one command line as a child process, its standard output and standard error merged into
// one pipe, its standard input an empty pipe that is closed at once.
#include <QByteArrayView>
#include <QString>
#include <chrono>
#include <functional>

namespace runner {

struct ToolRunOptions {
    QString ownDir;      // looked in first for a bare program name
    QString searchPath;  // the PATH to look along
    // Called with each piece of output as it is read.
    std::function<void(QByteArrayView)> onOutput;
    // Called between reads, at most once per `idleInterval`, and while the tool is silent.
    std::function<void()> onIdle;
    std::chrono::milliseconds idleInterval{40};
};

struct ToolRunResult {
    bool started = false;
    QString program;     // the name looked for (the first word), or the path that was run
    QString failure;     // why it did not start, in words for the user
    int exitStatus = -1;  // as waitpid reports it; nobody is asked to judge it
};

// Returns when the tool has ended, running a local event loop meanwhile (Qt events are delivered; the
// window runs the tool through ToolProcess itself). What the tool left running is ended with it.
ToolRunResult RunTool(const QString &commandLine, const ToolRunOptions &options);

// Defaults for ToolRunOptions: the running program's own directory and the PATH of its environment.
QString OwnDirectory();
QString SearchPath();

}  // namespace runner
