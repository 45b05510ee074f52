#include "explain/board_lines.h"

#include "boards/burn.h"
#include "compose/vocabulary.h"
#include "installed/installed_avrdude.h"
#include "session/chip_session.h"

#include <QDir>

#include <cstdio>

namespace {

void Say(std::FILE *to, const QString &line) { std::fprintf(to, "%s\n", line.toUtf8().constData()); }

int Flushed()
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        Say(stderr, QStringLiteral("fusewerk: the output could not be written"));
        return 1;
    }
    return 0;
}

struct Arguments {
    QStringList words;  // what is no option
    QString programmer, port;
    QStringList cores;
    bool yes = false;  // print lines the gate asks about
    QString problem;
};

Arguments Parse(const QStringList &arguments)
{
    Arguments out;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        QString *into = a == QLatin1String("-c") ? &out.programmer : a == QLatin1String("-P") ? &out.port : nullptr;
        if (a == QLatin1String("--yes")) {
            out.yes = true;
        } else if (into || a == QLatin1String("--core")) {
            if (i + 1 >= arguments.size()) {
                out.problem = QStringLiteral("%1 wants a value").arg(a);
                return out;
            }
            if (into)
                *into = arguments[++i];
            else
                out.cores << arguments[++i];
        } else if (a.startsWith(u'-')) {
            out.problem = QStringLiteral("no option %1").arg(a);
            return out;
        } else {
            out.words << a;
        }
    }
    return out;
}

std::vector<boards::Board> Found(const Arguments &args)
{
    return boards::ReadBoards(boards::CoreFolders(QDir::homePath(), args.cores));
}

}  // namespace

int RunBoards(const QStringList &arguments)
{
    const Arguments args = Parse(arguments);
    if (!args.problem.isEmpty() || !args.words.isEmpty()) {
        Say(stderr, QStringLiteral("usage: fusewerk --boards [--core DIR]..."));
        return 2;
    }
    const std::vector<boards::Board> found = Found(args);
    if (found.empty())
        Say(stderr, QStringLiteral("fusewerk: no Arduino core is installed (Debian's arduino-core-avr, ~/.arduino15, "
                                   "~/Arduino/hardware), so there are no boards"));
    const compose::Vocabulary words(AskInstalledAvrdude());
    for (const boards::Board &b : found) {
        const compose::InstalledPart *part = words.locatePart(b.mcu);
        Say(stdout, QStringList{b.core, b.id, b.option, b.name, part ? part->name : b.mcu,
                                QStringLiteral("lfuse=%1 hfuse=%2 efuse=%3 unlock=%4 lock=%5")
                                    .arg(b.lowFuses, b.highFuses, b.extendedFuses, b.unlockBits, b.lockBits)}
                        .join(u'\t'));
    }
    return Flushed();
}

int RunBoardLines(const QStringList &arguments)
{
    const Arguments args = Parse(arguments);
    if (!args.problem.isEmpty() || args.words.size() != 1 || args.programmer.isEmpty()) {
        Say(stderr, QStringLiteral("usage: fusewerk --board-lines \"BOARD[:OPTION]\" -c PROGRAMMER [-P PORT] [--core DIR]... [--yes]%1")
                        .arg(args.problem.isEmpty() ? QString() : QStringLiteral(" (") + args.problem + u')'));
        return 2;
    }
    const std::vector<boards::Board> found = Found(args);
    const boards::Board *board = boards::FindBoard(found, args.words.front());
    if (!board) {
        Say(stderr, QStringLiteral("fusewerk: no installed core has the board \"%1\"%2")
                        .arg(args.words.front(), found.empty() ? QStringLiteral(" (no Arduino core is installed)") : QString()));
        return 2;
    }
    compose::FormState target;
    target.programmer = args.programmer;
    target.port = args.port;
    const compose::Vocabulary words(AskInstalledAvrdude());
    const boards::BurnPlan plan = boards::PlanBurn(*board, target, words);
    if (!plan.refusal.isEmpty()) {
        Say(stderr, QStringLiteral("fusewerk: %1").arg(plan.refusal));
        return 2;
    }
    // Judged as Burn Bootloader judges them, the board's clock agreed to (it is the board's own):
    // a line the gate would ask about is printed only with --yes.
    session::ChipSession chip(words);
    QStringList asked;
    QObject::connect(&chip, &session::ChipSession::question, [&](const QString &text, bool *yes) {
        asked << text;
        *yes = true;
    });
    QStringList refused;
    QObject::connect(&chip, &session::ChipSession::told, [&](session::Notice, const QString &text) { refused << text; });
    chip.wouldRun(plan.lines, true);
    for (const QString &text : refused)
        Say(stderr, QStringLiteral("fusewerk: %1").arg(text));
    if (!refused.isEmpty())
        return 2;
    if (!plan.clockQuestion.isEmpty())
        Say(stderr, QStringLiteral("fusewerk: note: %1").arg(plan.clockQuestion));
    if (!asked.isEmpty() && !args.yes) {
        Say(stderr, QStringLiteral("fusewerk: the guard asks before these lines (--yes prints them anyway):"));
        for (const QString &text : asked)
            Say(stderr, text);
        return 3;
    }
    for (const QString &line : plan.lines)
        Say(stdout, line);
    return Flushed();
}
