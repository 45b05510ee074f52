#include "explain/program_cli.h"

#include "installed/installed_avrdude.h"
#include "production/production_log.h"
#include "production/program_plan.h"
#include "production/stations.h"
#include "runner/command_split.h"
#include "session/chip_session.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QPointer<session::ChipSession> running;  // the session of the boards under way, for StopProgram

void Say(std::FILE *to, const QString &text) { std::fprintf(to, "%s\n", text.toUtf8().constData()); }

struct Arguments {
    QString elf, part, programmer, port, log;
    std::vector<production::Station> stations;
    std::optional<std::uint32_t> serialAt, serial;
    int count = 0;
    bool yes = false, verify = false;
    QString problem;
};

Arguments Parse(const QStringList &arguments)
{
    Arguments out;
    for (qsizetype i = 0; i < arguments.size() && out.problem.isEmpty(); ++i) {
        const QString &a = arguments[i];
        if (a == QLatin1String("--yes")) {
            out.yes = true;
            continue;
        }
        if (a == QLatin1String("--verify")) {
            out.verify = true;
            continue;
        }
        const bool takesValue = a == QLatin1String("-p") || a == QLatin1String("-c") || a == QLatin1String("-P") ||
                                a == QLatin1String("--log") || a == QLatin1String("--serial-at") || a == QLatin1String("--serial") ||
                                a == QLatin1String("--station") || a == QLatin1String("--count");
        if (!takesValue) {
            if (a.startsWith(u'-') || !out.elf.isEmpty())
                out.problem = QStringLiteral("what is %1?").arg(a);
            else
                out.elf = a;
            continue;
        }
        if (i + 1 >= arguments.size()) {
            out.problem = QStringLiteral("%1 wants a value").arg(a);
            return out;
        }
        const QString &value = arguments[++i];
        if (a == QLatin1String("-p")) {
            out.part = value;
        } else if (a == QLatin1String("-c")) {
            out.programmer = value;
        } else if (a == QLatin1String("-P")) {
            out.port = value;
        } else if (a == QLatin1String("--log")) {
            out.log = value;
        } else if (a == QLatin1String("--station")) {
            QString why;
            if (const std::optional<production::Station> station = production::ParseStation(runner::SplitCommandLine(value), &why))
                out.stations.push_back(*station);
            else
                out.problem = QStringLiteral("--station \"%1\": %2").arg(value, why);
        } else if (a == QLatin1String("--count")) {
            bool ok = false;
            out.count = value.toInt(&ok);
            if (!ok || out.count < 1 || out.count > 1000000)
                out.problem = QStringLiteral("--count %1 is not a number of boards (1 to 1000000)").arg(value);
        } else {
            QString why;
            const bool serial = a == QLatin1String("--serial");
            const std::optional<std::uint32_t> number = serial ? production::ParseSerial(value, &why) : production::ParseAddress(value, &why);
            if (!number)
                out.problem = QStringLiteral("%1 %2 %3").arg(a, value, why);
            else
                (serial ? out.serial : out.serialAt) = number;
        }
    }
    if (!out.problem.isEmpty())
        return out;
    if (!out.stations.empty() && (!out.programmer.isEmpty() || !out.port.isEmpty()))
        out.problem = QStringLiteral("-c and -P, or --station, not both");
    else if (out.elf.isEmpty() || out.part.isEmpty() || (out.programmer.isEmpty() && out.stations.empty()))
        out.problem = QStringLiteral("a file, -p and -c (or --station) are needed");
    else if (out.serial.has_value() != out.serialAt.has_value())
        out.problem = QStringLiteral("--serial-at and --serial go together");
    else if (out.verify && (out.serial || out.count || !out.stations.empty()))
        out.problem = QStringLiteral("--verify compares one chip with one programmer: no serial number, --count or --station");
    if (out.problem.isEmpty() && out.stations.empty())
        out.stations.push_back({out.programmer, out.port, {}, {}, {}});
    return out;
}

// A session for the terminal: avrdude's output to standard output, what it tells to standard
// error, each question answered as --yes says (and kept, to name them when nothing ran), and the
// run strip's sentence.
struct Console {
    Console(const compose::Vocabulary &words, const compose::FormState &target, bool yes) : chip(words)
    {
        chip.setForm(target);
        QObject::connect(&chip, &session::ChipSession::question, [this, yes](const QString &text, bool *answer) {
            asked << text;
            *answer = yes;
        });
        QObject::connect(&chip, &session::ChipSession::told, [](session::Notice, const QString &text) { Say(stderr, text); });
        QObject::connect(&chip, &session::ChipSession::output, [](const QString &text) {
            std::fputs(text.toUtf8().constData(), stdout);
            std::fflush(stdout);
        });
        QObject::connect(&chip, &session::ChipSession::runEnded, [this](const session::Outcome &o) { outcome = o.text; });
    }
    session::ChipSession chip;
    QStringList asked;
    QString outcome;
};

QString Now()
{
    const QDateTime now = QDateTime::currentDateTime();
    return now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate);
}

// Verify Chip: one programmer, one run of the signature read and the compare.
int Verify(const Arguments &args, const compose::Vocabulary &words, const production::ProgramRequest &request)
{
    const production::ProgramPlan plan = production::PlanProgram(request, words);
    if (!plan.refusal.isEmpty()) {
        Say(stderr, QStringLiteral("fusewerk: %1").arg(plan.refusal));
        return 2;
    }
    Console console(words, request.target, args.yes);
    session::ChipSession &chip = console.chip;
    const QString &outcome = console.outcome;
    session::ProgramResult result;
    QObject::connect(&chip, &session::ChipSession::programmed, [&](const session::ProgramResult &r) { result = r; });
    QEventLoop loop;
    QObject::connect(&chip, &session::ChipSession::finished, &loop, &QEventLoop::quit);
    if (!chip.programChip(plan.signatureLine, plan.line, plan.signature, true)) {
        Say(stderr, QStringLiteral("fusewerk: nothing was run"));
        return 2;
    }
    running = &chip;
    loop.exec();
    Say(stderr, QStringLiteral("fusewerk: %1").arg(outcome));
    if (!args.log.isEmpty()) {
        production::LogEntry entry;
        entry.time = Now();
        entry.part = plan.part;
        entry.signature = result.signature;
        entry.result = result.ok ? QStringLiteral("ok") : result.wrongChip ? QStringLiteral("wrong chip") : result.stopped ? QStringLiteral("stopped") : QStringLiteral("failed");
        entry.step = result.failedStep;
        entry.error = result.difference.isEmpty() ? result.firstError : result.difference;
        entry.station = args.stations.front().text();
        if (QString error; !production::AppendLog(args.log, entry, &error)) {
            Say(stderr, QStringLiteral("fusewerk: %1").arg(error));
            return 1;
        }
    }
    return result.ok ? 0 : 1;
}

// The serial numbers' book of a log: beside it, LOG.serial. A series given again with its first
// number goes on where it stands; a new first number must not reach back into numbers handed out.
std::optional<production::SerialBook> OpenBook(const Arguments &args, const QString &path)
{
    production::SerialBook book;
    book.first = book.next = *args.serial;
    if (path.isEmpty())
        return book;
    bool found = false;
    QString error;
    std::optional<production::SerialBook> kept = production::LoadBookFile(path, &found, &error);
    if (!kept) {
        Say(stderr, QStringLiteral("fusewerk: %1; nothing was run").arg(error));
        return std::nullopt;
    }
    if (!found || kept->first == *args.serial)
        return found ? kept : book;
    const bool used = kept->next != kept->first || kept->exhausted || !kept->pending.empty();
    if (used && *args.serial < kept->next) {
        Say(stderr, QStringLiteral("fusewerk: the serial numbers from %1 were handed out already (%2 keeps them: %3 to %4); "
                                   "--serial %5 goes on after them, --serial %3 goes on with that series, or a new log "
                                   "begins a new one; nothing was run")
                        .arg(*args.serial)
                        .arg(path)
                        .arg(kept->first)
                        .arg(kept->next - 1)
                        .arg(kept->next));
        return std::nullopt;
    }
    return book;
}

}  // namespace

void StopProgram()
{
    if (running)
        running->stop();
}

int RunProgram(const QStringList &arguments)
{
    const Arguments args = Parse(arguments);
    if (!args.problem.isEmpty()) {
        Say(stderr, QStringLiteral("usage: fusewerk --program FILE.elf -p PART (-c PROGRAMMER [-P PORT] | --station \"-c ID "
                                   "-P PORT\"...) [--count N] [--serial-at ADDR --serial FIRST] [--log FILE] [--verify] [--yes] (%1)")
                        .arg(args.problem));
        return 2;
    }
    // The log is opened before anything runs: a board programmed and then not logged is a board
    // a script counts wrong.
    if (QString error; !args.log.isEmpty() && !production::CheckLog(args.log, &error)) {
        Say(stderr, QStringLiteral("fusewerk: %1; nothing was run").arg(error));
        return 2;
    }
    const compose::Vocabulary words(AskInstalledAvrdude());
    production::ProgramRequest request;
    request.elf = args.elf;
    request.verifyOnly = args.verify;
    request.serialAt = args.serialAt;
    const compose::InstalledPart *part = words.locatePart(args.part);
    request.target.device = part ? part->name : args.part;
    request.target.programmer = args.stations.front().programmer;
    request.target.port = args.stations.front().port;
    if (args.verify)
        return Verify(args, words, request);

    // The file's values, said once for the bench, and what refuses it refused before any book is
    // touched.
    const production::ProgramPlan plan = production::PlanProgram(request, words);
    if (!plan.refusal.isEmpty()) {
        Say(stderr, QStringLiteral("fusewerk: %1").arg(plan.refusal));
        return 2;
    }
    QStringList values;
    for (const production::FuseValue &v : plan.values)
        values << v.memory + u'=' + v.immediate;
    Say(stdout, QStringLiteral("%1 for the %2: %3").arg(args.elf, plan.part, values.isEmpty() ? QStringLiteral("no fuse or lock values") : values.join(u' ')));
    std::fflush(stdout);

    std::optional<production::SerialLedger> ledger;
    const QString bookPath = args.log.isEmpty() ? QString() : args.log + QStringLiteral(".serial");
    if (args.serial) {
        std::optional<production::SerialBook> book = OpenBook(args, bookPath);
        if (!book)
            return 2;
        if (bookPath.isEmpty())
            Say(stderr, QStringLiteral("fusewerk: without --log the serial numbers are kept for this run only: a run after a "
                                       "kill starts again at %1")
                            .arg(*args.serial));
        production::SerialLedger::Keep keep;
        if (!bookPath.isEmpty())
            keep = [bookPath](const production::SerialBook &b, QString *error) { return production::SaveBookFile(bookPath, b, error); };
        // The book is written before anything runs: one that cannot be kept refuses the bench now.
        if (QString error; !bookPath.isEmpty() && !production::SaveBookFile(bookPath, *book, &error)) {
            Say(stderr, QStringLiteral("fusewerk: %1; nothing was run").arg(error));
            return 2;
        }
        ledger.emplace(std::move(*book), std::move(keep));
        // Numbers handed out when the program last ended, their boards never done, go to the next
        // boards; the log says so.
        QString error;
        const std::map<std::uint32_t, QString> reissued = ledger->reclaim(&error);
        if (!error.isEmpty()) {
            Say(stderr, QStringLiteral("fusewerk: %1; nothing was run").arg(error));
            return 2;
        }
        session::LogReissued(args.log, plan.part, reissued);
        for (const auto &[serial, station] : reissued)
            Say(stderr, QStringLiteral("fusewerk: serial %1 was handed out to a board on %2 when the program last ended, "
                                       "before that board was done: it goes to the next board")
                            .arg(serial)
                            .arg(station));
    }

    Console console(words, request.target, args.yes);
    session::ChipSession &chip = console.chip;
    const QStringList &asked = console.asked;
    const QString &outcome = console.outcome;
    const bool several = args.stations.size() > 1;
    int ok = 0, failed = 0;
    QObject::connect(&chip, &session::ChipSession::boardEnded, [&](const session::BoardEnd &end) {
        ++(end.ok ? ok : failed);
        const QString where = several ? QStringLiteral(" on station %1 (%2)").arg(end.station + 1).arg(args.stations[end.station].text()) : QString();
        const QString what = end.ok ? QStringLiteral("programmed and verified")
                             : end.result == QLatin1String("wrong chip") ? end.error
                                                                         : QStringLiteral("%1 (%2 step): %3").arg(end.result, end.step, end.error);
        Say(stderr, QStringLiteral("fusewerk: board%1: %2%3").arg(where, what,
                                                                 end.serial.isEmpty() ? QString() : QStringLiteral(", serial %1").arg(end.serial)));
    });
    QEventLoop loop;
    QObject::connect(&chip, &session::ChipSession::finished, &loop, &QEventLoop::quit);

    session::BenchRequest bench;
    bench.base = request;
    bench.stations = args.stations;
    bench.boards = args.count;
    bench.ledger = ledger ? &*ledger : nullptr;
    bench.log = args.log;
    if (!chip.programStations(bench)) {
        if (!asked.isEmpty() && !args.yes) {
            Say(stderr, QStringLiteral("fusewerk: nothing was run; the guard asks before this write (--yes writes anyway):"));
            for (const QString &q : asked)
                Say(stderr, q);
            return 3;
        }
        Say(stderr, QStringLiteral("fusewerk: nothing was run"));
        return 2;
    }
    running = &chip;
    loop.exec();
    Say(stderr, QStringLiteral("fusewerk: %1").arg(outcome));
    const int wanted = args.count ? args.count : static_cast<int>(args.stations.size());
    return failed == 0 && ok == wanted ? 0 : 1;
}
