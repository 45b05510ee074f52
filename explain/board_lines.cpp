#include "explain/board_lines.h"

#include "attached/attached.h"

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
    for (const boards::Board &b : found)
        Say(stdout, QStringList{b.fqbn(), b.name, b.core->folder}.join(u'\t'));
    return Flushed();
}

int RunAttached(const QStringList &arguments)
{
    const Arguments args = Parse(arguments);
    if (!args.problem.isEmpty() || !args.words.isEmpty()) {
        Say(stderr, QStringLiteral("usage: fusewerk --attached [--core DIR]..."));
        return 2;
    }
    const compose::InstalledAvrdude avrdude = AskInstalledAvrdude();
    for (const QString &line : attached::AttachedLines(attached::Match(attached::ScanUsb(), avrdude.programmers, Found(args))))
        Say(stdout, line);
    return Flushed();
}

int RunBoardMenus(const QStringList &arguments)
{
    const Arguments args = Parse(arguments);
    if (!args.problem.isEmpty() || args.words.size() != 1) {
        Say(stderr, QStringLiteral("usage: fusewerk --board-menus FQBN [--core DIR]..."));
        return 2;
    }
    const std::vector<boards::Board> found = Found(args);
    const boards::Found board = boards::FindBoard(found, args.words.front());
    if (!board.board) {
        Say(stderr, QStringLiteral("fusewerk: %1").arg(board.error));
        return 2;
    }
    for (const boards::Menu &m : board.board->menus)
        for (const boards::MenuOption &o : m.options)
            Say(stdout, QStringList{m.id, m.caption, o.id, o.caption}.join(u'\t'));
    return Flushed();
}

int RunBoardLines(const QStringList &arguments)
{
    const Arguments args = Parse(arguments);
    if (!args.problem.isEmpty() || args.words.size() != 1 || args.programmer.isEmpty()) {
        Say(stderr, QStringLiteral("usage: fusewerk --board-lines FQBN[:MENU=OPTION,...] -c PROGRAMMER [-P PORT] [--core DIR]... [--yes]%1")
                        .arg(args.problem.isEmpty() ? QString() : QStringLiteral(" (") + args.problem + u')'));
        return 2;
    }
    const std::vector<boards::Board> found = Found(args);
    const boards::Found board = boards::FindBoard(found, args.words.front());
    if (!board.board) {
        Say(stderr, QStringLiteral("fusewerk: %1%2").arg(board.error, found.empty() ? QStringLiteral(" (no Arduino core is installed)") : QString()));
        return 2;
    }
    compose::FormState target;
    target.programmer = args.programmer;
    target.port = args.port;
    const compose::Vocabulary words(AskInstalledAvrdude());
    const boards::BurnPlan plan = boards::PlanBurn(*board.board, board.options, target, words);
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
    chip.wouldRun(plan.lines, true, plan.board);
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
