#include "session/bench.h"

#include "production/production_log.h"
#include "production/program_plan.h"
#include "runner/tool_run.h"
#include "session/jobs.h"

#include <QDateTime>
#include <QFile>
#include <QPointer>

#include <utility>

namespace session {
namespace {

QString Now()
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
}

// The board's serial number put into its station's copy of the serial file: a new file beside it,
// renamed over it, read-only as the copy was.
bool WriteSerial(const QString &copy, std::uint32_t at, std::uint32_t serial, QString *error)
{
    const QString next = copy + QStringLiteral(".next");
    QFile::remove(next);
    QFile file(next);
    const QByteArray hex = production::SerialHex(at, serial);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) || file.write(hex) != hex.size() || !file.flush()) {
        *error = QStringLiteral("the serial number's file %1 cannot be written: %2").arg(next, file.errorString());
        return false;
    }
    file.close();
    file.setPermissions(QFile::ReadOwner);
    if (::rename(QFile::encodeName(next).constData(), QFile::encodeName(copy).constData()) != 0) {
        *error = QStringLiteral("the serial number's file %1 cannot be put in place").arg(copy);
        QFile::remove(next);
        return false;
    }
    return true;
}

constexpr qsizetype kLongestLine = 4096;  // a line without end is passed on in pieces of this

}  // namespace

struct Bench::Running {
    std::unique_ptr<ProgramJob> job;
    bool waiting = false;  // for its number to reach the disk
    QElapsedTimer clock;
    std::optional<std::uint32_t> serial;
    QString pending;  // output after the last line break
    qint64 shownTenths = -1;
};

Bench::Bench(BenchSetup setup, QObject *parent) : QObject(parent), setup_(std::move(setup))
{
    for (const StationLines &lines : setup_.stations) {
        views_.emplace_back().name = lines.name;
        running_.push_back(std::make_unique<Running>());
    }
}

Bench::~Bench()
{
    // The jobs end their tools as they go; none of their signals reaches a bench half gone.
    // A number still on its way to the disk stays out: the next start hands it out again.
    for (const auto &r : running_)
        if (r->job)
            r->job->disconnect(this);
}

bool Bench::running() const
{
    return (ending_ && !over_) || std::ranges::any_of(running_, [](const auto &r) { return r->job != nullptr || r->waiting; });
}

bool Bench::wantsBoard() const
{
    if (stopping_ || halted_)
        return false;
    return setup_.boards == 0 ? started_ < static_cast<int>(setup_.stations.size()) : started_ < setup_.boards;
}

void Bench::start()
{
    for (int i = 0; i < static_cast<int>(running_.size()) && wantsBoard(); ++i)
        startBoard(i);
    finishWhenIdle();
}

void Bench::stop()
{
    stopping_ = true;
    for (const auto &r : running_)
        if (r->job)
            r->job->stop();
}

void Bench::startBoard(int station)
{
    Running &r = *running_[station];
    StationView &view = views_[station];
    const StationLines &lines = setup_.stations[station];
    view.error.clear();
    view.serial.clear();
    r.serial.reset();
    r.pending.clear();
    r.shownTenths = -1;
    r.clock.start();
    view.elapsedMs = 0;
    if (setup_.ledger) {
        QString error;
        r.serial = setup_.ledger->take(lines.name, &error);
        if (r.serial && !WriteSerial(lines.serialCopy, setup_.serialAt, *r.serial, &error)) {
            setup_.ledger->giveBack(*r.serial, nullptr);
            r.serial.reset();
        }
        if (!r.serial) {
            // No number can be handed out safely: no board starts anywhere.
            halted_ = true;
            view.state = StationState::Failed;
            view.error = error;
            emit warning(QStringLiteral("No further board starts: %1.").arg(error));
            emit stationChanged(station);
            return;
        }
        view.serial = QString::number(*r.serial);
    }
    ++started_;
    view.state = StationState::Signature;
    emit stationChanged(station);
    if (setup_.ledger && setup_.disk) {
        r.waiting = true;
        setup_.disk->whenKept([this, guard = QPointer<Bench>(this), station](const QString &unkept) {
            if (guard)
                launchBoard(station, unkept);
        });
        return;
    }
    launchBoard(station, {});
}

void Bench::launchBoard(int station, const QString &unkept)
{
    Running &r = *running_[station];
    StationView &view = views_[station];
    const StationLines &lines = setup_.stations[station];
    r.waiting = false;
    if (!unkept.isEmpty() || stopping_) {
        // Nothing ran: the number goes to the next board, and the board is no board.
        if (r.serial)
            setup_.ledger->giveBack(*r.serial, nullptr);
        r.serial.reset();
        view.serial.clear();
        --started_;
        if (!unkept.isEmpty()) {
            view.state = StationState::Failed;
            view.error = unkept;
            if (!std::exchange(toldUnkept_, true))  // said once, not once a station
                emit warning(QStringLiteral("No further board starts: %1.").arg(unkept));
            halted_ = true;
        } else {
            view.state = StationState::Stopped;
        }
        emit stationChanged(station);
        finishWhenIdle();
        return;
    }
    r.job = std::make_unique<ProgramJob>(lines.signature.args, setup_.expected, lines.program.args, QStringLiteral("program"));
    r.job->setLauncher(&launcher_);
    r.job->hold(lines.signature.copies);
    r.job->hold(lines.program.copies);
    connect(r.job.get(), &Job::output, this, [this, station](const QString &text) { seeOutput(station, text); });
    connect(r.job.get(), &Job::tick, this, [this, station] {
        Running &run = *running_[station];
        views_[station].elapsedMs = run.clock.elapsed();
        if (const qint64 tenths = views_[station].elapsedMs / 100; tenths != run.shownTenths) {
            run.shownTenths = tenths;
            emit stationChanged(station);
        }
    });
    connect(r.job.get(), &Job::finished, this, [this, station] { boardFinished(station); });
    r.job->start(runner::OwnDirectory(), runner::SearchPath());
}

void Bench::seeOutput(int station, const QString &text)
{
    Running &r = *running_[station];
    StationView &view = views_[station];
    const bool several = setup_.stations.size() > 1;
    const QString prefix = several ? QStringLiteral("[%1] ").arg(station + 1) : QString();
    r.pending += text;
    QString lines;
    qsizetype from = 0;
    for (qsizetype end = r.pending.indexOf(u'\n'); end >= 0 || r.pending.size() - from > kLongestLine; end = r.pending.indexOf(u'\n', from)) {
        if (end < 0)
            end = from + kLongestLine - 1;
        const QStringView line = QStringView(r.pending).mid(from, end - from + 1);
        // Where the board is: the erase or a write begins the programming, a verify its check.
        const StationState before = view.state;
        if (line.contains(u"verifying"))
            view.state = StationState::Verifying;
        else if (view.state == StationState::Signature && (line.contains(u"erasing chip") || line.contains(u"writing")))
            view.state = StationState::Programming;
        if (view.state != before)
            emit stationChanged(station);
        lines += prefix;
        lines += line;
        if (!line.endsWith(u'\n'))
            lines += u'\n';
        from = end + 1;
    }
    r.pending.remove(0, from);
    if (!lines.isEmpty())
        emit output(lines);
}

void Bench::boardFinished(int station)
{

    Running &r = *running_[station];
    StationView &view = views_[station];
    std::unique_ptr<ProgramJob> owned = std::move(r.job);
    owned->disconnect(this);
    owned->release();
    ProgramJob *job = owned.release();
    job->deleteLater();  // it is still in its signal
    if (!r.pending.isEmpty())
        seeOutput(station, QStringLiteral("\n"));
    const runner::AvrdudeRun &run = job->run();

    BoardEnd end;
    end.station = station;
    end.serial = view.serial;
    end.stopped = run.end().kind == runner::ToolEnd::Kind::Stopped;
    end.ok = job->failedStep().isEmpty();
    end.step = job->failedStep();
    end.result = end.ok ? QStringLiteral("ok") : job->wrongChip() ? QStringLiteral("wrong chip") : end.stopped ? QStringLiteral("stopped") : QStringLiteral("failed");
    end.error = job->difference().isEmpty() ? run.failure().firstError() : job->difference();
    if (job->wrongChip())
        end.error = QStringLiteral("Wrong chip: its signature is %1, not the %2's %3; nothing was written")
                        .arg(job->signature(), setup_.part, setup_.expected);
    if (!end.ok && end.error.isEmpty())
        end.error = run.outcome();
    // A warning that broke into a progress bar: the bar is no part of it.
    if (const qsizetype from = end.error.indexOf(QLatin1String("avrdude")); from > 0 && end.error.contains(u'|'))
        end.error = end.error.mid(from);
    view.elapsedMs = r.clock.elapsed();
    // The number is kept for the board before anything else is done: a crash after this line
    // hands it to no other board.
    if (r.serial) {
        QString error;
        if (end.ok ? !setup_.ledger->confirm(*r.serial, &error) : !setup_.ledger->giveBack(*r.serial, &error)) {
            halted_ = true;
            emit warning(QStringLiteral("No further board starts: %1.").arg(error));
        }
        if (!end.ok)
            end.serial.clear();  // the number goes to the next board
    }
    if (end.ok) {
        ++done_;
        ++view.done;
        view.state = StationState::Done;
    } else {
        ++failed_;
        ++view.failed;
        view.state = end.stopped ? StationState::Stopped : StationState::Failed;
        view.error = end.error;
        view.serial.clear();
    }
    log(end, job->signature());
    emit stationChanged(station);
    emit boardEnded(end);
    // A free station takes the next board at once; one whose board failed waits for a hand.
    if (end.ok && wantsBoard())
        startBoard(station);
    finishWhenIdle();
}

void Bench::finishWhenIdle()
{
    if (over_ || running())
        return;
    if (!setup_.disk) {
        over_ = true;
        emit finished();
        return;
    }
    // The bench is over once what it kept is on the disk: a number that could not be kept is said.
    ending_ = true;
    setup_.disk->whenKept([this, guard = QPointer<Bench>(this)](const QString &unkept) {
        if (!guard)
            return;
        if (!unkept.isEmpty() && !toldUnkept_)
            emit warning(QStringLiteral("The serial numbers were not kept: %1.").arg(unkept));
        over_ = true;
        emit finished();
    });
}

void Bench::log(const BoardEnd &end, const QString &signature)
{
    if (setup_.log.isEmpty())
        return;
    production::LogEntry entry;
    entry.time = Now();
    entry.part = setup_.part;
    entry.signature = signature;
    entry.serial = end.serial;
    entry.result = end.result;
    entry.step = end.step;
    entry.error = end.error;
    entry.station = setup_.stations[static_cast<std::size_t>(end.station)].name;
    if (setup_.disk) {
        setup_.disk->append([path = setup_.log, entry](QString *error) { return production::AppendLog(path, entry, error); },
                            [this, guard = QPointer<Bench>(this)](const QString &error) {
                                if (guard)
                                    emit warning(error);
                            });
        return;
    }
    if (QString error; !production::AppendLog(setup_.log, entry, &error))
        emit warning(error);
}

void LogReissued(const QString &log, const QString &part, const std::map<std::uint32_t, QString> &reissued)
{
    if (log.isEmpty())
        return;
    for (const auto &[serial, station] : reissued) {
        production::LogEntry entry;
        entry.time = Now();
        entry.part = part;
        entry.serial = QString::number(serial);
        entry.result = QStringLiteral("reissued");
        entry.error = QStringLiteral("the program ended while this number's board was under way; the number goes to the next board");
        entry.station = station;
        production::AppendLog(log, entry, nullptr);
    }
}

}  // namespace session
