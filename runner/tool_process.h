#pragma once
// One run of the tool as a child process: its standard output and standard error merged, its input
// closed at once, in a process group of its own so that stopping it reaches every process it started.
#include <QByteArrayView>
#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>

#include <functional>

namespace runner {

struct ToolEnd {
    enum class Kind { NotStarted, Exited, Signalled, Stopped };
    Kind kind = Kind::NotStarted;
    int code = 0;        // exit code, or the signal's number
    qint64 elapsedMs = 0;
    QString program;     // the name looked for (the first word), or the path that was run
    QString failure;     // why it did not start, in words for the user
    bool refused = false;  // avrdude answered with its usage text: the command line was not accepted

    bool Succeeded() const { return kind == Kind::Exited && code == 0 && !refused; }
    // As waitpid reports it: exit code << 8, or the signal's number.
    int WaitStatus() const { return kind == Kind::Exited ? code << 8 : code & 0x7f; }
};

// Run in the child before the tool starts: a process group of its own, and an end (SIGKILL) as soon
// as Fusewerk is gone, however it went.
std::function<void()> ToolChildSetup();

class ToolProcess : public QObject {
    Q_OBJECT
public:
    explicit ToolProcess(QObject *parent = nullptr);
    ~ToolProcess() override;  // a tool still running is ended, with everything it started

    // `args`: the program, then its arguments. Finds the program (`ownDir` first, then `searchPath`)
    // and starts it without waiting. False when it cannot start; `ended` then follows from the event loop.
    bool start(const QStringList &args, const QString &ownDir, const QString &searchPath);
    // Ends the tool and its children: SIGTERM to its process group, SIGKILL after `graceMs`.
    void stop(int graceMs = 300);
    // Ends, from the event loop, as stopped without having started: a run called off before its turn.
    void cancel();
    bool running() const { return running_; }
    qint64 elapsedMs() const { return clock_.isValid() ? clock_.elapsed() : 0; }

signals:
    void output(QByteArrayView bytes);
    void ended(const runner::ToolEnd &end);

private:
    void Finish(ToolEnd::Kind kind, int code);
    bool NotStarted(const QString &why);
    void SignalGroup(int signal);

    QProcess process_;
    QTimer killTimer_;
    QElapsedTimer clock_;
    qint64 pid_ = 0;
    bool running_ = false;
    bool stopping_ = false;
    ToolEnd end_;
};

}  // namespace runner
