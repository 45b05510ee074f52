#pragma once
// One operation on the chip is one job: one run of avrdude from an argument list, which the job
// reads as it passes and whose result it reports once, when `finished` comes. A job can be stopped
// at any time; it still finishes, as stopped.
#include "fuses/byte_commands.h"
#include "fuses/fuse_bytes.h"
#include "runner/avrdude_run.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>

#include <memory>
#include <optional>
#include <vector>

namespace session {

// Starts runs one at a time, each on its own turn of the event loop: a start (a fork and an exec)
// takes a few milliseconds, and eight of them in one turn would stall the window.
class Launcher : public QObject {
    Q_OBJECT
public:
    explicit Launcher(QObject *parent = nullptr);
    // `start` runs on a later turn, after those queued before it, while `owner` is there.
    void queue(QObject *owner, std::function<void()> start);

private:
    std::deque<std::pair<QPointer<QObject>, std::function<void()>>> queued_;
    QTimer turn_;
};

class Job : public QObject {
    Q_OBJECT
public:
    // `args`: the program, then its arguments, as they will run.
    explicit Job(QStringList args, QObject *parent = nullptr);
    ~Job() override;

    const QStringList &args() const { return args_; }
    // Something the runs need until the job goes (the folder of the copies its lines name).
    void hold(std::shared_ptr<void> kept) { if (kept) kept_.push_back(std::move(kept)); }
    // The runs are over: what they needed goes now.
    void release() { kept_.clear(); }
    void start(const QString &ownDir, const QString &searchPath);
    // Each of the job's runs starts on the launcher's turn (a stop before it ends the job as stopped).
    void setLauncher(Launcher *launcher) { launcher_ = launcher; }
    // Ends the run under way; a job of several runs starts no further one.
    void stop();
    // The run under way, or the last one.
    const runner::AvrdudeRun &run() const { return *run_; }
    bool succeeded() const { return run_->end().Succeeded(); }
    // Why the job gave no result, for the user; empty when it gave one (or has none to give).
    const QString &problem() const { return problem_; }
    // Reads: the output is best read from its start.
    virtual bool shownFromStart() const { return false; }

signals:
    void output(const QString &text);
    void tick(qint64 elapsedMs, int percent);
    void finished();

protected:
    // Called once, after the last run's end and before `finished`: the job takes its result.
    virtual void take(const runner::ToolEnd &end) { (void)end; }
    // A job of several runs: after a run that succeeded (and was not stopped), the next one's
    // arguments; nothing when the job is done.
    virtual std::optional<QStringList> next() { return std::nullopt; }
    // A watch of the job's that sees every line of each of its runs; it must outlive the job's runs.
    void addWatch(runner::LineWatch *watch) { watches_.push_back(watch); }
    QString problem_;

private:
    void startRun(const QStringList &args);

    QStringList args_;
    std::unique_ptr<runner::AvrdudeRun> run_;
    std::vector<std::unique_ptr<runner::AvrdudeRun>> spent_;  // the runs before, kept until the job goes
    std::vector<runner::LineWatch *> watches_;
    QString ownDir_, searchPath_;
    std::vector<std::shared_ptr<void>> kept_;
    bool stopped_ = false;
    QPointer<Launcher> launcher_;
};

// A board's bootloader: erase, unlock and fuses; then the image and the lock. Each step is a run of
// its own, the next only after one that succeeded; a stop ends the burn where it is.
class BurnJob : public Job {
    Q_OBJECT
public:
    // `steps`: each step's arguments and what it does ("erase, unlock and fuses").
    BurnJob(std::vector<std::pair<QStringList, QString>> steps, QObject *parent = nullptr);
    int step() const { return step_; }  // counted from 1
    int steps() const { return static_cast<int>(steps_.size()); }
    const QString &stepCaption() const { return steps_[static_cast<std::size_t>(step_ - 1)].second; }

signals:
    void stepStarted(int step, int steps, const QString &caption, const QStringList &args);

protected:
    std::optional<QStringList> next() override;

private:
    std::vector<std::pair<QStringList, QString>> steps_;
    int step_ = 1;
};

// Program Chip and Verify Chip: the chip's signature read first, then, only when it is the part's,
// the whole chip in one run.
class ProgramJob : public Job {
    Q_OBJECT
public:
    // `expected`: the part's signature, six hex digits; `what`: "program" or "verify".
    ProgramJob(QStringList signatureArgs, QString expected, QStringList args, QString what, QObject *parent = nullptr);
    ~ProgramJob() override;
    const QString &signature() const { return signature_; }  // as read from the chip
    bool wrongChip() const { return wrongChip_; }
    // The step that failed ("signature", "program", "verify"); empty when none did.
    QString failedStep() const;
    const QString &what() const { return what_; }
    // Of a verify: the first difference avrdude reported ("flash: first difference at 0x0010 ...").
    QString difference() const;
    bool shownFromStart() const override { return true; }

protected:
    std::optional<QStringList> next() override;
    void take(const runner::ToolEnd &end) override;

private:
    class Lines;
    QString expected_, what_, signature_;
    QStringList args_;
    std::unique_ptr<Lines> lines_;
    bool second_ = false, wrongChip_ = false, succeeded_ = false;
};

// "Execute": the command line as the user has it.
class ExecuteJob : public Job {
    Q_OBJECT
public:
    using Job::Job;
    // avrdude reported a failed verify, and the run was not cut short by a stop.
    bool verificationFailed() const;
};

// A write of one memory's value (a fuse, the lock, the calibration bytes).
class WriteJob : public Job {
    Q_OBJECT
public:
    using Job::Job;
};

// A read whose value stands on one line of the output (fuses::FindValueLine's rules).
class ValueReadJob : public Job {
    Q_OBJECT
public:
    // `what`: the memory as the user is told ("low fuse", "calibration").
    ValueReadJob(QStringList args, QString what, int readLine, fuses::ValueForm form, QObject *parent = nullptr);
    ~ValueReadJob() override;
    bool shownFromStart() const override { return true; }

protected:
    void take(const runner::ToolEnd &end) override;
    // The value line found; sets problem_ when it is not a value of this read.
    virtual void takeLine(const QString &line) = 0;
    QString what_;

private:
    class Lines;
    std::unique_ptr<Lines> lines_;
};

// One fuse or lock byte, read as a decimal number.
class ReadByteJob : public ValueReadJob {
    Q_OBJECT
public:
    ReadByteJob(QStringList args, fuses::FuseByte byte, int readLine, QObject *parent = nullptr);
    fuses::FuseByte byte() const { return byte_; }
    std::optional<unsigned> value() const { return value_; }

protected:
    void takeLine(const QString &line) override;

private:
    fuses::FuseByte byte_;
    std::optional<unsigned> value_;
};

// The calibration or signature bytes, read as a list of hex numbers.
class ReadBytesJob : public ValueReadJob {
    Q_OBJECT
public:
    ReadBytesJob(QStringList args, QString memory, int count, int readLine, QObject *parent = nullptr);
    const QString &memory() const { return what_; }
    // The bytes as the field shows them ("1E9307"); empty without a result.
    const QString &text() const { return text_; }

protected:
    void takeLine(const QString &line) override;

private:
    int count_;
    QString text_;
};

// A whole memory (flash, eeprom, usersig ...) read into a raw file avrdude writes, and taken from it:
// its bytes come from the file, never from the console.
class MemoryReadJob : public Job {
    Q_OBJECT
public:
    MemoryReadJob(QStringList args, QString memory, QString file, qint64 size, QObject *parent = nullptr);
    const QString &memory() const { return memory_; }
    // What the chip holds, `size` bytes; empty without a result.
    const QByteArray &bytes() const { return bytes_; }
    bool shownFromStart() const override { return true; }

protected:
    void take(const runner::ToolEnd &end) override;

private:
    QString memory_, file_;
    qint64 size_;
    QByteArray bytes_;
};

// A whole data memory written from a raw file of the session's own.
class MemoryWriteJob : public Job {
    Q_OBJECT
public:
    MemoryWriteJob(QStringList args, QString memory, QObject *parent = nullptr) : Job(std::move(args), parent), memory_(std::move(memory)) {}
    const QString &memory() const { return memory_; }

private:
    QString memory_;
};

// A fuse or lock memory a read wants: avrdude's name, its size in bytes and what the user calls it.
struct WantedFuse {
    QString memory;
    int size = 1;
    QString noun;  // "low fuse byte", "syscfg0 (fuse5)"
};

// Fuse and lock memories in one run: one "-U <memory>:r:-:h" each, in order.
class ReadAllFusesJob : public Job {
    Q_OBJECT
public:
    ReadAllFusesJob(QStringList args, std::vector<WantedFuse> wanted, QObject *parent = nullptr);
    ~ReadAllFusesJob() override;
    bool shownFromStart() const override { return true; }
    // Each memory with its value (its bytes in memory order, the first the lowest), in the order
    // wanted; empty without a result.
    const std::vector<std::pair<QString, std::uint32_t>> &values() const { return values_; }

protected:
    void take(const runner::ToolEnd &end) override;

private:
    class Lines;
    std::vector<WantedFuse> wanted_;
    std::unique_ptr<Lines> lines_;
    std::vector<std::pair<QString, std::uint32_t>> values_;
};

// Which chip is there: the signature avrdude reports, whatever its exit code (a signature avrdude
// refused still names the chip).
class DetectJob : public Job {
    Q_OBJECT
public:
    using Job::Job;
    QString signature() const { return run().failure().signature(); }
};

}  // namespace session
