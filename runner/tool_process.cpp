#include "runner/tool_process.h"

#include "runner/command_split.h"
#include "runner/tool_run.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace runner {

std::function<void()> ToolChildSetup()
{
    return [parent = ::getpid()] {
        // Its own process group: a stop reaches whatever the tool started, and nothing else.
        ::setpgid(0, 0);
        // A little behind the window: when every processor is busy (eight avrdudes starting at once
        // each read their whole configuration) the window still gets its turn; on a machine with
        // a processor to spare the tool runs as fast as ever.
        [[maybe_unused]] const int niceness = ::nice(5);
        // Should Fusewerk die without a chance to stop it (SIGKILL, a crash, the X server gone), the
        // kernel ends the tool at once.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)  // Fusewerk died before the line above took effect
            ::_exit(127);
    };
}

ToolProcess::ToolProcess(QObject *parent) : QObject(parent)
{
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setChildProcessModifier(ToolChildSetup());
    process_.setProcessEnvironment(ToolEnvironment());
    connect(&process_, &QProcess::readyReadStandardOutput, this, [this] {
        const QByteArray bytes = process_.readAllStandardOutput();
        if (!bytes.isEmpty())
            emit output(bytes);
    });
    connect(&process_, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        const QByteArray rest = process_.readAllStandardOutput();
        if (!rest.isEmpty())
            emit output(rest);
        if (stopping_)
            Finish(ToolEnd::Kind::Stopped, code);
        else
            Finish(status == QProcess::NormalExit ? ToolEnd::Kind::Exited : ToolEnd::Kind::Signalled, code);
    });
    connect(&process_, &QProcess::started, this, [this] {
        // Nothing is ever written to its input: it sees the end at once (terminal mode ends by itself).
        process_.closeWriteChannel();
        pid_ = process_.processId();
        if (stopping_)  // stopped before it was under way
            SignalGroup(SIGTERM);
    });
    connect(&process_, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart || !running_)
            return;
        running_ = false;
        killTimer_.stop();
        end_.failure =
            QStringLiteral("The program \"%1\" could not be started: %2.").arg(end_.program, process_.errorString());
        emit ended(end_);
    });
    killTimer_.setSingleShot(true);
    connect(&killTimer_, &QTimer::timeout, this, [this] { SignalGroup(SIGKILL); });
}

ToolProcess::~ToolProcess()
{
    if (running_) {
        SignalGroup(SIGKILL);
        process_.waitForFinished(2000);
    }
}

bool ToolProcess::start(const QStringList &args, const QString &ownDir, const QString &searchPath)
{
    end_ = ToolEnd{};
    clock_.start();
    if (args.isEmpty())
        return NotStarted(QStringLiteral("The command line is empty: there is no program to run."));
    end_.program = args.front();
    const QString path = FindProgram(args.front(), ownDir, searchPath);
    if (path.isEmpty())
        return NotStarted(QStringLiteral("The program \"%1\" was not found, neither in %2 nor on the PATH.")
                              .arg(args.front(), ownDir.isEmpty() ? QStringLiteral("the program's folder") : ownDir));
    end_.program = path;
    running_ = true;
    stopping_ = false;
    // Started without waiting: the process's own signals say when it runs, or that it could not.
    process_.start(path, args.mid(1), QIODevice::ReadWrite);
    return true;
}

bool ToolProcess::NotStarted(const QString &why)
{
    end_.failure = why;
    // From the event loop, so that the caller has finished starting before it hears the end.
    QMetaObject::invokeMethod(this, [this] { emit ended(end_); }, Qt::QueuedConnection);
    return false;
}

void ToolProcess::cancel()
{
    end_ = ToolEnd{};
    end_.kind = ToolEnd::Kind::Stopped;
    QMetaObject::invokeMethod(this, [this] { emit ended(end_); }, Qt::QueuedConnection);
}

void ToolProcess::stop(int graceMs)
{
    if (!running_ || stopping_)
        return;
    stopping_ = true;
    SignalGroup(SIGTERM);
    killTimer_.start(graceMs);
}

void ToolProcess::SignalGroup(int signal)
{
    if (pid_ > 0)
        ::kill(-static_cast<pid_t>(pid_), signal);
    else if (signal == SIGKILL && process_.state() != QProcess::NotRunning)
        process_.kill();  // not yet under way as a group of its own
}

void ToolProcess::Finish(ToolEnd::Kind kind, int code)
{
    if (!running_)
        return;
    killTimer_.stop();
    // Whatever the tool started and left behind goes with it; its group is then empty.
    SignalGroup(SIGKILL);
    running_ = false;
    end_.kind = kind;
    end_.code = code;
    end_.elapsedMs = clock_.elapsed();
    emit ended(end_);
}

}  // namespace runner
