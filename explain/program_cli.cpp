#include "explain/program_cli.h"

#include "installed/installed_avrdude.h"
#include "production/production_log.h"
#include "production/program_plan.h"
#include "session/chip_session.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void Say(std::FILE *to, const QString &text) { std::fprintf(to, "%s\n", text.toUtf8().constData()); }

struct Arguments {
    QString elf, part, programmer, port, log;
    std::optional<std::uint32_t> serialAt, serial;
    bool yes = false, verify = false;
    QString problem;
};

Arguments Parse(const QStringList &arguments)
{
    Arguments out;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
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
                                a == QLatin1String("--log") || a == QLatin1String("--serial-at") || a == QLatin1String("--serial");
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
        if (a == QLatin1String("-p"))
            out.part = value;
        else if (a == QLatin1String("-c"))
            out.programmer = value;
        else if (a == QLatin1String("-P"))
            out.port = value;
        else if (a == QLatin1String("--log"))
            out.log = value;
        else {
            QString why;
            const bool serial = a == QLatin1String("--serial");
            const std::optional<std::uint32_t> number = serial ? production::ParseSerial(value, &why) : production::ParseAddress(value, &why);
            if (!number)
                out.problem = QStringLiteral("%1 %2 %3").arg(a, value, why);
            else
                (serial ? out.serial : out.serialAt) = number;
        }
    }
    if (out.problem.isEmpty() && (out.elf.isEmpty() || out.part.isEmpty() || out.programmer.isEmpty()))
        out.problem = QStringLiteral("a file, -p and -c are needed");
    if (out.problem.isEmpty() && out.serial.has_value() != out.serialAt.has_value())
        out.problem = QStringLiteral("--serial-at and --serial go together");
    if (out.problem.isEmpty() && out.serial && out.verify)
        out.problem = QStringLiteral("--verify writes no serial number");
    return out;
}

}  // namespace

int RunProgram(const QStringList &arguments)
{
    const Arguments args = Parse(arguments);
    if (!args.problem.isEmpty()) {
        Say(stderr, QStringLiteral("usage: fusewerk --program FILE.elf -p PART -c PROGRAMMER [-P PORT] [--serial-at ADDR "
                                   "--serial N] [--log FILE] [--verify] [--yes] (%1)")
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
    request.target.programmer = args.programmer;
    request.target.port = args.port;
    QTemporaryDir temp;
    if (args.serial) {
        request.serialFile = temp.filePath(QStringLiteral("serial.hex"));
        QFile file(request.serialFile);
        if (!temp.isValid() || !file.open(QIODevice::WriteOnly) || file.write(production::SerialHex(*args.serialAt, *args.serial)) < 0) {
            Say(stderr, QStringLiteral("fusewerk: the serial number's file cannot be made"));
            return 2;
        }
    }
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

    session::ChipSession chip(words);
    chip.setForm(request.target);
    QStringList asked;
    QObject::connect(&chip, &session::ChipSession::question, [&](const QString &text, bool *yes) {
        asked << text;
        *yes = args.yes;
    });
    QObject::connect(&chip, &session::ChipSession::told, [](session::Notice, const QString &text) { Say(stderr, text); });
    QObject::connect(&chip, &session::ChipSession::output, [](const QString &text) {
        std::fputs(text.toUtf8().constData(), stdout);
        std::fflush(stdout);
    });
    QString outcome;
    QObject::connect(&chip, &session::ChipSession::runEnded, [&](const session::Outcome &o) { outcome = o.text; });
    session::ProgramResult result;
    QObject::connect(&chip, &session::ChipSession::programmed, [&](const session::ProgramResult &r) { result = r; });
    QEventLoop loop;
    QObject::connect(&chip, &session::ChipSession::finished, &loop, &QEventLoop::quit);
    if (!chip.programChip(plan.signatureLine, plan.line, plan.signature, args.verify)) {
        if (!asked.isEmpty() && !args.yes) {
            Say(stderr, QStringLiteral("fusewerk: nothing was run; the guard asks before this write (--yes writes anyway):"));
            for (const QString &q : asked)
                Say(stderr, q);
            return 3;
        }
        Say(stderr, QStringLiteral("fusewerk: nothing was run"));
        return 2;
    }
    loop.exec();
    Say(stderr, QStringLiteral("fusewerk: %1").arg(outcome));
    if (!args.log.isEmpty()) {
        production::LogEntry entry;
        entry.time = QDateTime::currentDateTime().toOffsetFromUtc(QDateTime::currentDateTime().offsetFromUtc()).toString(Qt::ISODate);
        entry.part = plan.part;
        entry.signature = result.signature;
        entry.serial = args.serial ? QString::number(*args.serial) : QString();
        entry.result = result.ok ? QStringLiteral("ok") : result.wrongChip ? QStringLiteral("wrong chip") : result.stopped ? QStringLiteral("stopped") : QStringLiteral("failed");
        entry.step = result.failedStep;
        entry.error = result.difference.isEmpty() ? result.firstError : result.difference;
        QString error;
        if (!production::AppendLog(args.log, entry, &error)) {
            Say(stderr, QStringLiteral("fusewerk: %1").arg(error));
            return 1;
        }
    }
    return result.ok ? 0 : 1;
}
