#include "session/jobs.h"

#include "fuses/byte_text.h"
#include "production/program_plan.h"
#include "runner/outcome.h"

#include <QFile>
#include <QRegularExpression>

namespace session {

static_assert(fuses::kKeptLineLength == runner::LineSplitter::kKeptLength,
              "the value search is shown as much of a line as the splitter keeps");

Launcher::Launcher(QObject *parent) : QObject(parent)
{
    turn_.setInterval(0);
    connect(&turn_, &QTimer::timeout, this, [this] {
        while (!queued_.empty()) {
            auto [owner, start] = std::move(queued_.front());
            queued_.pop_front();
            if (owner) {
                start();
                break;
            }
        }
        if (queued_.empty())
            turn_.stop();
    });
}

void Launcher::queue(QObject *owner, std::function<void()> start)
{
    queued_.emplace_back(owner, std::move(start));
    turn_.start();
}

Job::Job(QStringList args, QObject *parent)
    : QObject(parent), args_(std::move(args)), run_(std::make_unique<runner::AvrdudeRun>())
{
}

Job::~Job() = default;

void Job::start(const QString &ownDir, const QString &searchPath)
{
    ownDir_ = ownDir;
    searchPath_ = searchPath;
    startRun(args_);
}

void Job::startRun(const QStringList &args)
{
    runner::AvrdudeRun *run = run_.get();
    for (runner::LineWatch *watch : watches_)
        run->addWatch(watch);
    connect(run, &runner::AvrdudeRun::output, this, &Job::output);
    connect(run, &runner::AvrdudeRun::tick, this, &Job::tick);
    connect(run, &runner::AvrdudeRun::finished, this, [this, run](const runner::ToolEnd &end) {
        run->disconnect(this);
        if (end.Succeeded() && !stopped_)
            if (std::optional<QStringList> more = next()) {
                // The run that just ended is still in its signal: it stays until the job goes.
                spent_.push_back(std::move(run_));
                run_ = std::make_unique<runner::AvrdudeRun>();
                startRun(*more);
                return;
            }
        take(end);
        emit finished();
    });
    if (!launcher_) {
        run->start(args, ownDir_, searchPath_);
        return;
    }
    launcher_->queue(this, [this, run, args] {
        if (stopped_)
            run->cancel();
        else
            run->start(args, ownDir_, searchPath_);
    });
}

void Job::stop()
{
    stopped_ = true;
    run_->stop();
}

BurnJob::BurnJob(std::vector<std::pair<QStringList, QString>> steps, QObject *parent)
    : Job(steps.front().first, parent), steps_(std::move(steps))
{
}

std::optional<QStringList> BurnJob::next()
{
    if (step_ >= steps())
        return std::nullopt;
    ++step_;
    const QStringList &args = steps_[static_cast<std::size_t>(step_ - 1)].first;
    emit stepStarted(step_, steps(), stepCaption(), args);
    return args;
}

// The program or verify run's output, as far as the verify's first difference goes.
class ProgramJob::Lines : public runner::LineWatch {
public:
    void seeLine(QStringView line, bool) override
    {
        if (difference.isEmpty() && (line.contains(u"verifying") || line.contains(u"!= input"))) {
            text += line.toString() + u'\n';
            difference = production::FirstDifference(text);
        }
    }
    QList<QLatin1StringView> keys() const override
    {
        return {QLatin1StringView("verifying"), QLatin1StringView("!= input")};
    }
    QString text, difference;
};

ProgramJob::ProgramJob(QStringList signatureArgs, QString expected, QStringList args, QString what, QObject *parent)
    : Job(std::move(signatureArgs), parent), expected_(std::move(expected)), what_(std::move(what)), args_(std::move(args)),
      lines_(std::make_unique<Lines>())
{
    addWatch(lines_.get());
}

ProgramJob::~ProgramJob() = default;

std::optional<QStringList> ProgramJob::next()
{
    if (second_)
        return std::nullopt;
    signature_ = run().failure().signature();
    if (signature_.compare(expected_, Qt::CaseInsensitive) != 0) {
        wrongChip_ = true;
        return std::nullopt;
    }
    second_ = true;
    return args_;
}

void ProgramJob::take(const runner::ToolEnd &end)
{
    if (signature_.isEmpty())
        signature_ = run().failure().signature();
    // avrdude itself refuses a chip whose signature is not the part's: that too is the wrong chip.
    if (!second_ && !signature_.isEmpty() && signature_.compare(expected_, Qt::CaseInsensitive) != 0)
        wrongChip_ = true;
    succeeded_ = end.Succeeded() && second_;
}

QString ProgramJob::failedStep() const
{
    if (succeeded_)
        return {};
    return second_ ? what_ : QStringLiteral("signature");
}

QString ProgramJob::difference() const { return lines_->difference; }

bool ExecuteJob::verificationFailed() const
{
    return run().verificationFailed() && run().end().kind != runner::ToolEnd::Kind::Stopped;
}

// The value search, fed every line of the run.
class ValueReadJob::Lines : public runner::LineWatch {
public:
    Lines(int index, fuses::ValueForm form) : watch(index, form) {}
    void seeLine(QStringView line, bool cut) override { watch.seeLine(line, cut); }
    fuses::ValueLineWatch watch;
};

ValueReadJob::ValueReadJob(QStringList args, QString what, int readLine, fuses::ValueForm form, QObject *parent)
    : Job(std::move(args), parent), what_(std::move(what)), lines_(std::make_unique<Lines>(readLine, form))
{
    addWatch(lines_.get());
}

ValueReadJob::~ValueReadJob() = default;

void ValueReadJob::take(const runner::ToolEnd &end)
{
    // A value from a run that failed, was stopped or never started would be made up: whatever the
    // output holds, nothing is taken (a later Write would program it into the chip).
    if (!end.Succeeded()) {
        problem_ = QStringLiteral("The %1 read failed: %2.").arg(what_, runner::EndReason(end));
        return;
    }
    // A read that found nothing changes nothing: a made-up 00 could be written back to the chip.
    const std::optional<QString> line = lines_->watch.value();
    if (!line) {
        problem_ = QStringLiteral("No value found in the output of the %1 read.").arg(what_);
        return;
    }
    takeLine(*line);
}

namespace {
// Cut to a byte, 300 would become 2C and 4096 would become 00: values nobody read from the chip.
QString NotAByte(const QString &what, const QString &line)
{
    return QStringLiteral("The %1 read gave \"%2\", which is not a byte (0 to 255): the value was left as it was.")
        .arg(what, line.trimmed());
}
}  // namespace

ReadByteJob::ReadByteJob(QStringList args, fuses::FuseByte byte, int readLine, QObject *parent)
    : ValueReadJob(std::move(args), QString::fromLatin1(fuses::Row(byte).what), readLine, fuses::ValueForm::Decimal, parent),
      byte_(byte)
{
}

void ReadByteJob::takeLine(const QString &line)
{
    const std::int32_t value = fuses::ReadNumber(line, 10);
    if (value < 0 || value > 255)
        problem_ = NotAByte(what_, line);
    else
        value_ = static_cast<unsigned>(value);
}

ReadBytesJob::ReadBytesJob(QStringList args, QString memory, int count, int readLine, QObject *parent)
    : ValueReadJob(std::move(args), std::move(memory), readLine, fuses::ValueForm::HexList, parent), count_(count)
{
}

void ReadBytesJob::takeLine(const QString &line)
{
    const std::vector<std::uint32_t> values = fuses::ScanHexList(line, count_);
    if (std::ranges::any_of(values, [](std::uint32_t v) { return v > 0xFF; }))
        problem_ = NotAByte(what_, line);
    else
        text_ = fuses::HexListText(values);
}

// avrdude announces each memory it reads ("avrdude: reading lfuse memory ...", with its alias
// after a slash: "reading fuse5/syscfg0 memory ...") and writes its value to the output next: the
// first line after the announcement that holds nothing but hex numbers is that memory's.
class ReadAllFusesJob::Lines : public runner::LineWatch {
public:
    void seeLine(QStringView line, bool cut) override
    {
        static const QRegularExpression reading(QStringLiteral("^avrdude: reading ([^\\s/]+)\\S* memory"));
        static const QRegularExpression value(QStringLiteral("^\\s*(0x[0-9A-Fa-f]{1,8}(,0x[0-9A-Fa-f]{1,8})*)\\s*$"));
        if (cut)
            return;
        // Cheap looks first: a trace of megabytes passes through here line by line.
        const QStringView start = line.trimmed();
        if (!start.startsWith(u"avrdude: reading") && !start.startsWith(u"0x"))
            return;
        if (const auto m = reading.match(line); m.hasMatch()) {
            memory = m.captured(1);
            return;
        }
        if (const auto m = value.match(line); m.hasMatch() && !memory.isEmpty()) {
            std::vector<unsigned> bytes;
            for (const QString &number : m.captured(1).split(u','))
                bytes.push_back(number.toUInt(nullptr, 16));
            values.emplace_back(memory, std::move(bytes));
            memory.clear();
        }
    }
    QString memory;
    std::vector<std::pair<QString, std::vector<unsigned>>> values;
};

ReadAllFusesJob::ReadAllFusesJob(QStringList args, std::vector<WantedFuse> wanted, QObject *parent)
    : Job(std::move(args), parent), wanted_(std::move(wanted)), lines_(std::make_unique<Lines>())
{
    addWatch(lines_.get());
}

ReadAllFusesJob::~ReadAllFusesJob() = default;

void ReadAllFusesJob::take(const runner::ToolEnd &end)
{
    if (!end.Succeeded()) {
        problem_ = QStringLiteral("The fuse read failed: %1.").arg(runner::EndReason(end));
        return;
    }
    std::vector<std::pair<QString, std::uint32_t>> found;
    for (const WantedFuse &wanted : wanted_) {
        const auto at = std::ranges::find_if(lines_->values, [&](const auto &v) { return v.first == wanted.memory; });
        if (at == lines_->values.end()) {
            problem_ = QStringLiteral("No value found for the %1 in the output of the fuse read: no byte was changed.")
                           .arg(wanted.noun);
            return;
        }
        const std::vector<unsigned> &bytes = at->second;
        if (std::ssize(bytes) != wanted.size || std::ranges::any_of(bytes, [](unsigned b) { return b > 0xFF; })) {
            QStringList numbers;
            for (unsigned b : bytes)
                numbers << QString::number(b, 16);
            problem_ = QStringLiteral("The fuse read gave \"%1\" for the %2, which is not %3: no byte was changed.")
                           .arg(numbers.join(u','), wanted.noun,
                                wanted.size == 1 ? QStringLiteral("a byte (0 to 255)")
                                                 : QStringLiteral("%1 bytes (0 to 255 each)").arg(wanted.size));
            return;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < bytes.size(); ++i)
            value |= std::uint32_t(bytes[i]) << (8 * i);
        found.emplace_back(wanted.memory, value);
    }
    values_ = std::move(found);  // all or nothing: a half-read set of bytes is not shown as read
}

}  // namespace session

namespace session {

MemoryReadJob::MemoryReadJob(QStringList args, QString memory, QString file, qint64 size, QObject *parent)
    : Job(std::move(args), parent), memory_(std::move(memory)), file_(std::move(file)), size_(size)
{
}

void MemoryReadJob::take(const runner::ToolEnd &end)
{
    if (!end.Succeeded())
        return;
    // avrdude writes a raw file as long as the memory, or up to its last byte that is not 0xFF.
    QFile file(file_);
    if (!file.open(QIODevice::ReadOnly)) {
        problem_ = QStringLiteral("avrdude wrote no %1 file").arg(memory_);
        return;
    }
    bytes_ = file.read(size_ + 1);
    if (bytes_.size() > size_) {
        problem_ = QStringLiteral("avrdude wrote more than the %1's %2 bytes").arg(memory_).arg(size_);
        bytes_.clear();
        return;
    }
    bytes_.append(QByteArray(size_ - bytes_.size(), char(0xFF)));
}

}  // namespace session
