#pragma once
// One run of avrdude as an object: it owns the process, cuts its output into lines once and hands
// every line to the watches that read it (its own, and those a caller adds), and tells what happens
// through its signals. Start it, stop it at will; `finished` comes exactly once.
#include "runner/failure_watch.h"
#include "runner/line_splitter.h"
#include "runner/output_text.h"
#include "runner/permission_watch.h"
#include "runner/progress_watch.h"
#include "runner/tool_process.h"
#include "runner/verification_watch.h"

#include <QObject>
#include <QTimer>

#include <vector>

namespace runner {

class AvrdudeRun : public QObject {
    Q_OBJECT
public:
    explicit AvrdudeRun(QObject *parent = nullptr);
    ~AvrdudeRun() override;  // a tool still running is ended, with everything it started

    // Starts `args` (the program first, looked for in `ownDir`, then along `searchPath`) and returns
    // at once. A line that cannot start still finishes, from the event loop, with Kind::NotStarted.
    void start(const QStringList &args, const QString &ownDir, const QString &searchPath);
    // A watch of the caller's that sees every line too, before `finished`; it must outlive the run.
    void addWatch(LineWatch *watch) { watches_.push_back(watch); }
    // Ends the tool and everything it started: SIGTERM, then SIGKILL after `graceMs`.
    void stop(int graceMs = 300);
    // Instead of start: the run is called off before it began, and finishes as stopped.
    void cancel();

    bool running() const { return running_; }
    qint64 elapsedMs() const { return process_.elapsedMs(); }
    int percent() const { return progress_.percent(); }
    bool verificationFailed() const { return verification_.failed(); }
    const FailureWatch &failure() const { return failure_; }
    // The run strip's sentence for how it ended, with a hint for permission trouble.
    QString outcome() const;
    const ToolEnd &end() const { return end_; }

signals:
    void output(const QString &text);  // decoded, each line break one LF
    // While the tool runs, every `kTickMs` whether it prints or not.
    void tick(qint64 elapsedMs, int percent);
    void finished(const runner::ToolEnd &end);

public:
    static constexpr int kTickMs = 40;

private:
    void see(const QString &text);

    ToolProcess process_;
    LineSplitter lines_;
    OutputText decode_;
    ProgressWatch progress_;
    PermissionWatch permission_;
    VerificationWatch verification_;
    UsageWatch usage_;
    FailureWatch failure_;
    std::vector<LineWatch *> watches_{&permission_, &verification_, &usage_, &failure_};
    QTimer tick_;
    ToolEnd end_;
    bool running_ = false;
};

}  // namespace runner
