#include "session/chip_session.h"

#include "compose/command_line.h"
#include "compose/quoting.h"
#include "fuses/fuse_layout.h"
#include "fuses/fuse_safety.h"
#include "installed/avrdude_config.h"
#include "runner/command_split.h"
#include "runner/outcome.h"
#include "runner/tool_run.h"
#include "session/jobs.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QLocale>

namespace session {

using fuses::FuseByte;

namespace {

// The part Detect names when none is chosen: avrdude wants one, and reads the signature either way,
// but only over an interface the programmer and the part share (UPDI, TPI, PDI or ISP).
QString StandInPart(const compose::Vocabulary &words, const QString &programmer)
{
    const compose::InstalledProgrammer *p = words.findProgrammer(programmer);
    if (!p || p->modes.isEmpty() || p->modes.contains(QStringLiteral("PM_ISP")))
        return QStringLiteral("ATmega8");
    for (const compose::InstalledPart &part : words.installed().parts)
        for (const QString &mode : part.modes)
            if (mode != QLatin1String("PM_SPM") && p->modes.contains(mode) && !words.partCode(part.name).isEmpty())
                return part.name;
    return QStringLiteral("ATmega8");
}

}  // namespace

ChipSession::ChipSession(compose::Vocabulary words, QObject *parent)
    : QObject(parent), words_(std::move(words)),
      configured_(std::make_unique<installed::ConfiguredParts>(std::make_shared<const compose::Vocabulary>(words_)))
{
}

ChipSession::~ChipSession()
{
    // A run still under way ends with the session, and reports to nobody.
    if (job_)
        job_->disconnect(this);
}

void ChipSession::setForm(const compose::FormState &form)
{
    // Exact and with case; a programmer the table lacks keeps the line there was.
    if (form.programmer != form_.programmer || !formSet_)
        if (const auto line = readLines_.constFind(form.programmer); line != readLines_.cend())
            readLine_ = *line;
    form_ = form;
    formSet_ = true;
}

QString ChipSession::commandLine() const { return compose::BuildCommandLine(form_, words_); }

void ChipSession::setReadLineTable(QHash<QString, int> table)
{
    readLines_ = std::move(table);
    if (const auto line = readLines_.constFind(form_.programmer); line != readLines_.cend())
        readLine_ = *line;
}

std::optional<RunPlan> ChipSession::judged(const QStringList &args, bool reading, bool planned)
{
    // The part data avrdude will read the line with: its configuration files as they are now.
    const QStringList configs = compose::ParseAvrdudeArguments(args).configs;
    const QProcessEnvironment environment = runner::ToolEnvironment();
    const installed::LineParts parts = configured_->For(configs, environment);
    fuses::LineContext context;
    context.configKnown = parts.known;
    context.configProblem = parts.problem;
    context.userFiles = parts.userFiles;
    context.baseline = parts.baseline.get();
    context.clockConfirmed = clockConfirmed_;
    const fuses::GateVerdict verdict = fuses::JudgeLine(args, lastReads_, parts.words ? *parts.words : words_, context);
    if (const QStringList writes = verdict.args.Writes(); reading && !writes.isEmpty()) {
        emit told(Notice::Warning,
                  QStringLiteral("A read writes nothing, but this line would also run %1 (from the extra options): "
                                 "nothing was run.")
                      .arg(writes.join(QStringLiteral(", "))));
        return std::nullopt;
    }
    if (!verdict.refusal.isEmpty()) {
        emit told(Notice::Warning, QStringLiteral("Nothing was run: %1.").arg(verdict.refusal));
        return std::nullopt;
    }
    QString program;
    QStringList questions = verdict.questions;
    if (const QString other = ProgramQuestion(args, words_.installed(), &program); !other.isEmpty())
        questions.prepend(other);
    // The guard's questions; nobody answering is a Cancel.
    for (const QString &text : questions) {
        bool yes = false;
        if (answers_ && answers_->contains(text)) {
            yes = answers_->value(text);
        } else {
            emit question(burning_.isEmpty() ? text : QStringLiteral("Burn Bootloader for %1:\n\n%2").arg(burning_, text), &yes);
            if (answers_)
                answers_->insert(text, yes);
        }
        if (!yes)
            return std::nullopt;
    }
    // A read's output file that is there already would be replaced without a word.
    for (const compose::UpdateOperation &u : verdict.args.updates) {
        if (u.op != u'r' || !u.error.isEmpty() || u.file == QLatin1String("-"))
            continue;
        const QFileInfo file(u.file);
        if (!file.exists())
            continue;
        bool yes = false;
        emit replaceQuestion(QStringLiteral("%1 is there already (%2 bytes, changed %3). avrdude would replace it with the "
                                            "%4 it reads from the chip (-U %5).")
                                 .arg(file.absoluteFilePath())
                                 .arg(file.size())
                                 .arg(QLocale().toString(file.lastModified(), QLocale::ShortFormat),
                                      u.memory.isEmpty() ? QStringLiteral("flash") : u.memory, u.argument),
                             &yes);
        if (!yes)
            return std::nullopt;
    }
    // The files themselves are not read again: the run gets copies of what was judged. The
    // configuration avrdude reads is looked at once more, as the answers took their time.
    if (parts.known && configured_->KeyNow(configs, environment) != parts.key) {
        emit told(Notice::Warning,
                  QStringLiteral("A configuration file avrdude reads (%1) changed while the question was open: "
                                 "nothing was run. Start it again to have it judged as it is now.")
                      .arg(parts.userFiles.isEmpty() ? words_.installed().systemConfig : parts.userFiles.join(QStringLiteral(", "))));
        return std::nullopt;
    }
    if (!planned)
        return RunPlan{args, {}, nullptr, verdict.bytes, {}};
    QString error;
    std::optional<RunPlan> plan = PlanRun(args, program, verdict, &error);
    if (!plan)
        emit told(Notice::Warning, error);
    return plan;
}

bool ChipSession::throughBootloader(const QString &action, const QStringList &args)
{
    const compose::AvrdudeArguments parsed = compose::ParseAvrdudeArguments(args);
    const compose::InstalledProgrammer *programmer = words_.findProgrammer(parsed.programmer);
    if (!programmer || !programmer->bootloaderOnly)
        return false;
    emit told(Notice::Warning,
              QStringLiteral("The programmer \"%1\" reaches the chip through its bootloader, which cannot %2 fuse, "
                             "lock or calibration bytes: nothing was run.")
                  .arg(parsed.programmer, action));
    return true;
}

std::optional<RunPlan> ChipSession::shownAndJudged(const QString &line, const QString &action, bool reading)
{
    const QStringList args = runner::SplitCommandLine(line);
    if (running() || throughBootloader(action, args))
        return std::nullopt;
    emit lineShown(line);
    std::optional<RunPlan> plan = judged(args, reading);
    if (!plan)
        return std::nullopt;
    // The part a value is read from is the line's own (its last -p), which a later write is
    // compared with.
    const auto part = fuses::LinePart(compose::ParseAvrdudeArguments(args), words_);
    readFrom_ = part ? part->name : QString();
    return plan;
}

bool ChipSession::startJob(std::unique_ptr<Job> job, const std::vector<RunPlan> &plans)
{
    job_ = std::move(job);
    judgedBytes_.clear();
    for (const RunPlan &plan : plans) {
        job_->hold(plan.copies);
        judgedBytes_.insert(judgedBytes_.end(), plan.bytes.begin(), plan.bytes.end());
    }
    connect(job_.get(), &Job::output, this, &ChipSession::output);
    connect(job_.get(), &Job::tick, this, &ChipSession::tick);
    connect(job_.get(), &Job::finished, this, &ChipSession::jobFinished);
    emit runStateChanged(true);
    // A burn says its steps' copies as each step starts.
    if (!plans.empty() && !plans.front().notes.isEmpty() && !qobject_cast<BurnJob *>(job_.get()))
        emit output(plans.front().notes.join(u'\n') + u'\n');
    job_->start(runner::OwnDirectory(), runner::SearchPath());
    return true;
}

bool ChipSession::execute(const QString &line)
{
    const QStringList args = runner::SplitCommandLine(line);
    if (running())
        return false;
    const std::optional<RunPlan> plan = judged(args, false);
    return plan && startJob(std::make_unique<ExecuteJob>(plan->args), {*plan});
}

bool ChipSession::readByte(FuseByte byte)
{
    const fuses::FuseByteRow &row = fuses::Row(byte);
    const QString line =
        fuses::BuildReadCommand(form_, fuses::ReadOperation(QString::fromLatin1(row.memory), u'd'), words_);
    const std::optional<RunPlan> plan = shownAndJudged(line, QStringLiteral("read"), true);
    return plan && startJob(std::make_unique<ReadByteJob>(plan->args, byte, readLine_), {*plan});
}

fuses::OwnFuses ChipSession::ownFuses() const { return fuses::PartOwnFuses(form_.device, part()); }

bool ChipSession::readAllFuses()
{
    std::vector<WantedFuse> wanted;
    if (const fuses::OwnFuses own = ownFuses(); own.any()) {
        for (const fuses::FuseSection &section : own.sections)
            wanted.push_back({section.memory, section.size, section.name()});
    } else {
        const fuses::FuseLayout layout = fuses::LookupFuseLayout(form_.device, part());
        for (const fuses::FuseByteRow &row : fuses::FuseByteTable)
            if (layout[row.byte].on)
                wanted.push_back({QString::fromLatin1(row.memory), 1, QString::fromLatin1(row.noun)});
    }
    return readFuses(std::move(wanted));
}

bool ChipSession::readFuse(const QString &memory)
{
    const fuses::OwnFuses own = ownFuses();
    const fuses::FuseSection *section = own.section(memory);
    return section && readFuses({{section->memory, section->size, section->name()}});
}

bool ChipSession::readFuses(std::vector<WantedFuse> wanted)
{
    QString operations;
    for (const WantedFuse &w : wanted)
        operations += fuses::ReadOperation(w.memory, u'h');
    const std::optional<RunPlan> plan =
        shownAndJudged(fuses::BuildReadCommand(form_, operations, words_), QStringLiteral("read"), true);
    return plan && startJob(std::make_unique<ReadAllFusesJob>(plan->args, std::move(wanted)), {*plan});
}

bool ChipSession::writeFuse(const QString &memory, const QString &hexValue)
{
    const fuses::OwnFuses own = ownFuses();
    const fuses::FuseSection *section = own.section(memory);
    if (!section)
        return false;
    const std::optional<std::uint32_t> value = section->parseHex(hexValue);
    if (!value) {
        emit told(Notice::Warning, QStringLiteral("The %1 value \"%2\" is not %3 hexadecimal digits.")
                                       .arg(section->name(), hexValue)
                                       .arg(2 * section->size));
        return false;
    }
    return write(QStringLiteral("-U %1:w:%2:m ").arg(section->memory, section->immediate(*value)));
}

bool ChipSession::writeFuses(const QList<QPair<QString, QString>> &values)
{
    const fuses::OwnFuses own = ownFuses();
    QString operations;
    for (const auto &[memory, hex] : values) {
        if (const fuses::FuseSection *section = own.section(memory)) {
            const std::optional<std::uint32_t> value = section->parseHex(hex);
            if (!value)
                return false;
            operations += QStringLiteral("-U %1:w:%2:m ").arg(section->memory, section->immediate(*value));
        } else if (fuses::IsCompleteByte(hex)) {
            operations += fuses::WriteOperation(memory, hex);
        } else {
            emit told(Notice::Warning, QStringLiteral("The %1 value \"%2\" is not two hexadecimal digits.").arg(memory, hex));
            return false;
        }
    }
    return !operations.isEmpty() && write(operations);
}

bool ChipSession::readMemory(const QString &memory)
{
    const compose::PartMemory *m = part() ? compose::LocateMemory(*part(), memory) : nullptr;
    if (!m || m->size <= 0) {
        emit told(Notice::Warning, QStringLiteral("The %1 has no memory \"%2\" avrdude can read.").arg(form_.device, memory));
        return false;
    }
    auto folder = std::make_shared<QTemporaryDir>();
    if (!folder->isValid()) {
        emit told(Notice::Warning, QStringLiteral("No temporary folder for the %1 read: %2").arg(memory, folder->errorString()));
        return false;
    }
    const QString file = folder->filePath(m->name + QStringLiteral(".bin"));
    const QString operation = QStringLiteral("-U %1:r:%2:r ").arg(m->name, compose::QuoteWord(file));
    const std::optional<RunPlan> plan = shownAndJudged(fuses::BuildReadCommand(form_, operation, words_), QStringLiteral("read"), true);
    if (!plan)
        return false;
    auto job = std::make_unique<MemoryReadJob>(plan->args, m->name, file, m->size);
    job->hold(folder);
    return startJob(std::move(job), {*plan});
}

bool ChipSession::writeMemory(const QString &memory, const QByteArray &bytes)
{
    const compose::PartMemory *m = part() ? compose::LocateMemory(*part(), memory) : nullptr;
    if (!m || m->size != bytes.size()) {
        emit told(Notice::Warning, QStringLiteral("The %1's %2 is not %3 bytes: nothing was written.").arg(form_.device, memory).arg(bytes.size()));
        return false;
    }
    auto folder = std::make_shared<QTemporaryDir>();
    QFile file(folder->filePath(m->name + QStringLiteral(".bin")));
    if (!folder->isValid() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush()) {
        emit told(Notice::Warning, QStringLiteral("The %1 could not be put into a file for avrdude: nothing was written.").arg(memory));
        return false;
    }
    file.close();
    const QString operation = QStringLiteral("-U %1:w:%2:r").arg(m->name, compose::QuoteWord(file.fileName()));
    const std::optional<RunPlan> plan = shownAndJudged(fuses::BuildWriteCommand(form_, words_) + operation, QStringLiteral("write"), false);
    if (!plan)
        return false;
    auto job = std::make_unique<MemoryWriteJob>(plan->args, m->name);
    job->hold(folder);
    return startJob(std::move(job), {*plan});
}

bool ChipSession::readCalibration()
{
    const QString memory = QStringLiteral("calibration");
    const std::optional<RunPlan> plan = shownAndJudged(
        fuses::BuildReadCommand(form_, fuses::ReadOperation(memory, u'h'), words_), QStringLiteral("read"), true);
    return plan && startJob(std::make_unique<ReadBytesJob>(plan->args, memory, 4, readLine_), {*plan});
}

// The signature read composes out of sight: the command line keeps what it shows.
bool ChipSession::readSignature()
{
    const QString memory = QStringLiteral("signature");
    const QStringList args =
        runner::SplitCommandLine(fuses::BuildReadCommand(form_, fuses::ReadOperation(memory, u'h'), words_));
    if (running())
        return false;
    const std::optional<RunPlan> plan = judged(args, true);
    return plan && startJob(std::make_unique<ReadBytesJob>(plan->args, memory, 3, readLine_), {*plan});
}

bool ChipSession::detect()
{
    // The chosen device's code where it has one: avrdude wants a part; the signature is read either way.
    compose::FormState state = form_;
    if (words_.partCode(state.device).isEmpty())
        state.device = StandInPart(words_, form_.programmer);
    const QStringList args = runner::SplitCommandLine(
        fuses::BuildReadCommand(state, fuses::ReadOperation(QStringLiteral("signature"), u'h'), words_));
    if (running())
        return false;
    const std::optional<RunPlan> plan = judged(args, true);
    return plan && startJob(std::make_unique<DetectJob>(plan->args), {*plan});
}

bool ChipSession::burnBootloader(const QStringList &lines, const QStringList &captions, const QString &clockQuestion,
                                 const QString &board)
{
    if (running() || lines.isEmpty() || lines.size() != captions.size())
        return false;
    if (!clockQuestion.isEmpty()) {
        bool yes = false;
        emit question(clockQuestion, &yes);
        if (!yes)
            return false;
    }
    // Every step is judged before the first runs: a burn the gate stops halfway leaves an erased chip.
    clockConfirmed_ = !clockQuestion.isEmpty();
    burning_ = board;
    std::vector<std::pair<QStringList, QString>> steps;
    std::vector<RunPlan> plans;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::optional<RunPlan> plan = shownAndJudged(lines[i], QStringLiteral("write"), false);
        if (!plan) {
            clockConfirmed_ = false;
            burning_.clear();
            return false;
        }
        steps.emplace_back(plan->args, captions[i]);
        plans.push_back(*plan);
    }
    clockConfirmed_ = false;
    burning_.clear();
    emit lineShown(lines.front());
    auto job = std::make_unique<BurnJob>(std::move(steps));
    QStringList notes;
    for (const RunPlan &plan : plans)
        notes << plan.notes.join(u'\n');
    connect(job.get(), &BurnJob::stepStarted, this,
            [this, lines, notes](int step, int count, const QString &caption, const QStringList &) {
                emit lineShown(lines[step - 1]);
                emit stepStarted(QStringLiteral("Step %1 of %2: %3").arg(step).arg(count).arg(caption));
                emit output(QStringLiteral("\n%1\n").arg(lines[step - 1]));
                if (!notes[step - 1].isEmpty())
                    emit output(notes[step - 1] + u'\n');
            });
    const QString first = QStringLiteral("Step 1 of %1: %2").arg(lines.size()).arg(captions.front());
    const bool started = startJob(std::move(job), plans);
    emit stepStarted(first);
    return started;
}

bool ChipSession::wouldRun(const QStringList &lines, bool clockConfirmed, const QString &board)
{
    clockConfirmed_ = clockConfirmed;
    burning_ = board;
    bool all = true;
    for (const QString &line : lines)
        all = judged(runner::SplitCommandLine(line), false, false).has_value() && all;
    clockConfirmed_ = false;
    burning_.clear();
    return all;
}

bool ChipSession::programChip(const QString &signatureLine, const QString &line, const QString &signature, bool verify)
{
    if (running() || signature.isEmpty())
        return false;
    const std::optional<RunPlan> read = shownAndJudged(signatureLine, QStringLiteral("read"), true);
    if (!read)
        return false;
    const std::optional<RunPlan> plan = shownAndJudged(line, verify ? QStringLiteral("read") : QStringLiteral("write"), verify);
    if (!plan)
        return false;
    return startJob(std::make_unique<ProgramJob>(read->args, signature, plan->args, verify ? QStringLiteral("verify") : QStringLiteral("program")),
                    {*plan, *read});
}

bool ChipSession::writeByte(FuseByte byte, const QString &hexValue)
{
    // A half-typed value would be written as another byte: the leave-field check never ran, as the
    // Write button takes no focus.
    if (!fuses::IsCompleteByte(hexValue)) {
        emit told(Notice::Warning, QStringLiteral("The %1 value \"%2\" is not two hexadecimal digits.")
                                       .arg(QString::fromLatin1(fuses::Row(byte).what), hexValue));
        return false;
    }
    // What the value would do to the chip is judged at the gate every run passes.
    return write(fuses::WriteOperation(QString::fromLatin1(fuses::Row(byte).memory), hexValue));
}

bool ChipSession::writeCalibration(const QString &value)
{
    if (!fuses::IsCalibrationValue(value)) {
        emit told(Notice::Warning,
                  QStringLiteral("The calibration value \"%1\" is not one to eight hexadecimal digits.").arg(value));
        return false;
    }
    return write(fuses::WriteOperation(QStringLiteral("calibration"), value));
}

bool ChipSession::write(const QString &operation)
{
    const std::optional<RunPlan> plan =
        shownAndJudged(fuses::BuildWriteCommand(form_, words_) + operation, QStringLiteral("write"), false);
    return plan && startJob(std::make_unique<WriteJob>(plan->args), {*plan});
}

void ChipSession::stop()
{
    if (job_)
        job_->stop();
    if (bench_)
        bench_->stop();
}

bool ChipSession::programStations(const BenchRequest &request)
{
    if (running() || request.stations.empty())
        return false;
    // Two avrdudes on one port would talk over each other to one programmer (an empty port is
    // avrdude's default, "usb" the first USB programmer it finds).
    for (std::size_t i = 0; i < request.stations.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (request.stations[i].port == request.stations[j].port) {
                emit told(Notice::Warning, QStringLiteral("Stations %1 and %2 both use the port \"%3\": nothing was run. Each "
                                                          "station needs a port of its own (a USB programmer by its serial "
                                                          "number: -P usb:SERIAL).")
                                               .arg(j + 1)
                                               .arg(i + 1)
                                               .arg(request.stations[i].port));
                return false;
            }
    QTemporaryDir serials;  // each station's serial file, as the gate reads it; the runs get copies
    BenchSetup setup;
    setup.boards = request.boards;
    setup.ledger = request.ledger;
    setup.log = request.log;
    setup.disk = request.disk;
    setup.serialAt = request.base.serialAt.value_or(0);
    QHash<QString, bool> answers;
    answers_ = &answers;
    struct Done {
        QHash<QString, bool> *&answers;
        ~Done() { answers = nullptr; }
    } done{answers_};
    std::vector<fuses::JudgedByte> bytes;
    QString shown, notes;
    for (std::size_t i = 0; i < request.stations.size(); ++i) {
        const production::Station &station = request.stations[i];
        const QString name = station.text();
        const auto refuse = [&](const QString &why) {
            emit told(Notice::Warning, QStringLiteral("Station %1 (%2): nothing was run: %3.").arg(i + 1).arg(name, why));
            return false;
        };
        production::ProgramRequest r = request.base;
        r.verifyOnly = false;
        r.target.programmer = station.programmer;
        r.target.port = station.port;
        r.target.extraOptions = QStringList{r.target.extraOptions.trimmed(), station.extraOptions()}.join(u' ').trimmed();
        if (request.ledger) {
            if (!request.base.serialAt)
                return refuse(QStringLiteral("the serial number has no address"));
            r.serialFile = serials.filePath(QStringLiteral("serial-%1.hex").arg(i + 1));
            QFile file(r.serialFile);
            const QByteArray hex = production::SerialHex(*request.base.serialAt, request.ledger->book().peek().value_or(0));
            if (!serials.isValid() || !file.open(QIODevice::WriteOnly) || file.write(hex) != hex.size())
                return refuse(QStringLiteral("the serial number's file cannot be made in %1").arg(serials.path()));
        } else {
            r.serialFile.clear();
        }
        const production::ProgramPlan plan = production::PlanProgram(r, words_);
        if (!plan.refusal.isEmpty())
            return refuse(plan.refusal);
        const QStringList signatureArgs = runner::SplitCommandLine(plan.signatureLine), programArgs = runner::SplitCommandLine(plan.line);
        if (throughBootloader(QStringLiteral("write"), programArgs))
            return false;
        std::optional<RunPlan> signature = judged(signatureArgs, true);
        if (!signature)
            return false;
        std::optional<RunPlan> program = judged(programArgs, false);
        if (!program)
            return false;
        StationLines lines{name, std::move(*signature), std::move(*program), {}};
        if (request.ledger) {
            lines.serialCopy = lines.program.copied.value(r.serialFile);
            if (lines.serialCopy.isEmpty())
                return refuse(QStringLiteral("the serial number's file was not judged"));
        }
        if (i == 0) {
            shown = plan.line;
            notes = lines.program.notes.join(u'\n');
            // The serial number's file the gate read is gone once judged: each station's copy is
            // rewritten with the number of its board.
            if (request.ledger)
                notes.replace(QStringLiteral("stands for ") + r.serialFile, QStringLiteral("holds each board's serial number"));
            bytes = lines.program.bytes;
            setup.part = plan.part;
            setup.expected = plan.signature;
        }
        setup.stations.push_back(std::move(lines));
    }
    emit lineShown(shown);
    judgedBytes_ = bytes;
    bench_ = std::make_unique<Bench>(std::move(setup));
    connect(bench_.get(), &Bench::output, this, &ChipSession::output);
    connect(bench_.get(), &Bench::warning, this, [this](const QString &text) { emit told(Notice::Warning, text); });
    connect(bench_.get(), &Bench::stationChanged, this, &ChipSession::stationChanged);
    connect(bench_.get(), &Bench::boardEnded, this, &ChipSession::boardEnded);
    connect(bench_.get(), &Bench::finished, this, &ChipSession::benchFinished, Qt::QueuedConnection);
    emit runStateChanged(true);
    if (!notes.isEmpty())
        emit output(notes + u'\n');
    bench_->start();
    return true;
}

void ChipSession::benchFinished()
{
    std::unique_ptr<Bench> bench = std::move(bench_);
    if (!bench)
        return;
    bench->disconnect(this);
    Outcome outcome;
    const int ended = bench->done() + bench->failed();
    outcome.text = QStringLiteral("%1 %2 on %3 %4: %5 programmed and verified, %6 failed")
                       .arg(ended)
                       .arg(ended == 1 ? QStringLiteral("board") : QStringLiteral("boards"))
                       .arg(bench->stations().size())
                       .arg(bench->stations().size() == 1 ? QStringLiteral("station") : QStringLiteral("stations"))
                       .arg(bench->done())
                       .arg(bench->failed());
    outcome.failed = bench->failed() > 0 || bench->started() == 0;
    for (const StationView &view : bench->stations())
        if (outcome.firstError.isEmpty() && !view.error.isEmpty())
            outcome.firstError = view.error;
    emit runStateChanged(false);
    emit runEnded(outcome);
    emit finished();
}

void ChipSession::jobFinished()
{
    // The job goes once its signal has returned; the session takes the next operation at once.
    std::unique_ptr<Job> owned = std::move(job_);
    Job *job = owned.release();
    job->disconnect(this);
    job->release();  // the copies of the line's files
    job->deleteLater();
    const runner::AvrdudeRun &run = job->run();

    Outcome outcome;
    outcome.text = run.outcome();
    outcome.failed = !run.end().Succeeded();
    outcome.fromStart = job->shownFromStart();
    if (run.end().kind == runner::ToolEnd::Kind::NotStarted)
        outcome.notStarted = run.end().failure;
    // avrdude refused the chip's signature as another part's: the fix is one click away.
    if (const QString other = words_.partName(run.failure().otherPart()); !other.isEmpty() && other != form_.device)
        outcome.otherPart = other;
    if (outcome.failed)
        outcome.firstError = run.failure().firstError();
    // A burn says which of its steps ended it, and a failed one that nothing after it ran.
    if (const auto *burn = qobject_cast<BurnJob *>(job)) {
        const QString step = QStringLiteral("Step %1 of %2 (%3)").arg(burn->step()).arg(burn->steps()).arg(burn->stepCaption());
        if (run.end().Succeeded())
            outcome.text = QStringLiteral("Bootloader burned, %1 steps: %2").arg(burn->steps()).arg(outcome.text);
        else if (burn->step() < burn->steps())
            outcome.text = QStringLiteral("%1: %2; nothing after it ran").arg(step, outcome.text);
        else
            outcome.text = QStringLiteral("%1: %2").arg(step, outcome.text);
    }
    std::optional<ProgramResult> result;
    if (const auto *program = qobject_cast<ProgramJob *>(job)) {
        ProgramResult &r = result.emplace();
        r.verify = program->what() == QLatin1String("verify");
        r.wrongChip = program->wrongChip();
        r.stopped = run.end().kind == runner::ToolEnd::Kind::Stopped;
        r.signature = program->signature();
        r.failedStep = program->failedStep();
        r.ok = r.failedStep.isEmpty();
        r.firstError = run.failure().firstError();
        r.difference = program->difference();
        const QString names = words_.partsWithSignature(r.signature).join(QStringLiteral(", "));
        if (r.wrongChip) {
            outcome.failed = true;
            outcome.text = QStringLiteral("Wrong chip: its signature is %1%2, not the %3's %4; nothing was %5")
                               .arg(r.signature, names.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(names),
                                    form_.device, part() ? part()->signature : QString(),
                                    r.verify ? QStringLiteral("compared") : QStringLiteral("written"));
        } else if (r.ok) {
            outcome.text = (r.verify ? QStringLiteral("The chip matches the file: ") : QStringLiteral("Chip programmed and verified: ")) +
                           outcome.text;
        } else if (!r.difference.isEmpty()) {
            outcome.text = QStringLiteral("The chip differs from the file: %1").arg(r.difference);
        } else {
            outcome.text = QStringLiteral("%1 step: %2").arg(r.failedStep == QLatin1String("signature") ? QStringLiteral("Signature")
                                                                : r.verify ? QStringLiteral("Verify") : QStringLiteral("Program"),
                                                            outcome.text);
        }
    }
    if (const auto *execute = qobject_cast<ExecuteJob *>(job)) {
        outcome.execute = true;
        outcome.verificationFailed = execute->verificationFailed();
    }
    emit runStateChanged(false);
    emit runEnded(outcome);

    if (const auto *read = qobject_cast<ReadByteJob *>(job); read && read->value()) {
        lastReads_[QString::fromLatin1(fuses::Row(read->byte()).memory)] = {*read->value(), readFrom_};
        emit byteRead(read->byte(), *read->value());
    } else if (const auto *all = qobject_cast<ReadAllFusesJob *>(job)) {
        // The window is locked while a run is under way: the part is still the one read.
        const bool own = ownFuses().any();
        for (const auto &[memory, value] : all->values()) {
            lastReads_[memory] = {value, readFrom_};
            const auto row = std::ranges::find_if(fuses::FuseByteTable, [&](const auto &r) { return memory == QLatin1String(r.memory); });
            if (own || row == std::end(fuses::FuseByteTable))
                emit fuseRead(memory, value);
            else
                emit byteRead(row->byte, value);
        }
    } else if (const auto *bytes = qobject_cast<ReadBytesJob *>(job); bytes && !bytes->text().isEmpty()) {
        emit bytesRead(bytes->memory(), bytes->text());
    } else if (const auto *memory = qobject_cast<MemoryReadJob *>(job); memory && !memory->bytes().isEmpty()) {
        emit memoryRead(memory->memory(), memory->bytes());
    } else if (const auto *written = qobject_cast<MemoryWriteJob *>(job); written && run.end().Succeeded()) {
        emit memoryWritten(written->memory());
    } else if (const auto *detect = qobject_cast<DetectJob *>(job)) {
        detectedSignature(detect->signature(), run);
    }
    // One message per event, in the run strip: a run that failed or was stopped has said so there
    // already (with its advice); what a run that succeeded did not bring replaces its sentence.
    if (!job->problem().isEmpty() && run.end().Succeeded())
        emit outcomeChanged(job->problem(), true);
    // What a write that succeeded put into the fuses and lock of the chosen part, as the line gave it.
    if (const compose::AvrdudeArguments args = compose::ParseAvrdudeArguments(job->args()); run.end().Succeeded() && !args.noWrite)
        if (const auto linePart = fuses::LinePart(args, words_); linePart && linePart->name == (part() ? part()->name : form_.device))
            for (const compose::UpdateOperation &u : args.updates) {
                const compose::PartMemory *memory = u.op == u'w' && u.format == u'm' && u.error.isEmpty()
                                                        ? compose::LocateMemory(*linePart, u.memory) : nullptr;
                if (!memory || !compose::IsFuseOrLockMemory(memory->name))
                    continue;
                if (const images::MemoryFile value = images::ReadForWrite(u.file, u'm', {memory->name, std::max<qint64>(memory->size, 1)});
                    value.ok() && value.count > 0)
                    emit written(memory->name, value.bytes.left(value.count));
            }
    if (result)
        emit programmed(*result);
    emit finished();
}

void ChipSession::detectedSignature(const QString &signature, const runner::AvrdudeRun &run)
{
    // What an earlier Detect found is not this chip's: the field is emptied (000000, as at the start).
    if (signature.isEmpty()) {
        emit bytesRead(QStringLiteral("signature"), QStringLiteral("000000"));
        emit outcomeChanged(QStringLiteral("No signature read: %1").arg(runner::EndReason(run.end())), true);
        return;
    }
    if (const QString other = run.failure().differingSignature(); !other.isEmpty()) {
        emit bytesRead(QStringLiteral("signature"), QStringLiteral("000000"));
        emit outcomeChanged(QStringLiteral("avrdude reported two signatures, %1 and %2: check the wiring and run Detect again")
                                .arg(other, signature),
                            true);
        return;
    }
    emit bytesRead(QStringLiteral("signature"), signature);
    if (signature == QLatin1String("000000") || signature == QLatin1String("FFFFFF")) {
        emit outcomeChanged(QStringLiteral("No answer from the chip (signature %1): check the wiring, the power and "
                                           "the chip's clock")
                                .arg(signature),
                            true);
        return;
    }
    const QStringList parts = words_.partsWithSignature(signature);
    if (parts.isEmpty()) {
        emit outcomeChanged(
            QStringLiteral("The signature %1 belongs to no part the installed avrdude knows").arg(signature), true);
        return;
    }
    QString part = parts.front();
    if (parts.size() > 1) {
        part.clear();
        emit choice(QStringLiteral("The signature %1 belongs to several parts. Which is it?").arg(signature), parts, &part);
    }
    if (part.isEmpty())
        return;
    emit detected(part, signature);
    emit outcomeChanged(QStringLiteral("Detected %1 (%2)").arg(part, signature), false);
}

}  // namespace session
