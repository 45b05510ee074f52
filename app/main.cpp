#include "app/application.h"
#include "app/display_check.h"
#include "explain/board_lines.h"
#include "explain/explain.h"
#include "explain/program_cli.h"
#include "window/main_window.h"
#include "installed/installed_avrdude.h"
#include "window/messages.h"
#include "app/signal_exit.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <exception>

int main(int argc, char **argv)
{
    // The command-line entry: no display, no window.
    if (argc >= 2 && std::strcmp(argv[1], "--explain") == 0) {
        QCoreApplication app(argc, argv);
        return RunExplain(QCoreApplication::arguments().mid(2));
    }
    if (argc >= 2 && (std::strcmp(argv[1], "--boards") == 0 || std::strcmp(argv[1], "--board-lines") == 0 ||
                      std::strcmp(argv[1], "--board-menus") == 0)) {
        QCoreApplication app(argc, argv);
        const QStringList rest = QCoreApplication::arguments().mid(2);
        if (std::strcmp(argv[1], "--boards") == 0)
            return RunBoards(rest);
        return std::strcmp(argv[1], "--board-menus") == 0 ? RunBoardMenus(rest) : RunBoardLines(rest);
    }
    if (argc >= 2 && std::strcmp(argv[1], "--program") == 0) {
        QCoreApplication app(argc, argv);
        return RunProgram(QCoreApplication::arguments().mid(2));
    }
    if (const QString problem = DisplayProblem(); !problem.isEmpty()) {
        std::fprintf(stderr, "fusewerk: %s\n", qPrintable(problem));
        return 1;
    }
    Application app(argc, argv);
    try {
        // What the installed avrdude knows is asked before the window is made, and handed to it.
        WindowDeps deps;
        deps.vocabulary = AskInstalledAvrdude();
        MainWindow Form1(std::move(deps));
        // Told to end (SIGTERM, SIGINT, SIGHUP): the run is stopped and the settings saved first.
        CallOnTerminationSignals([&Form1] { Form1.EndOnSignal(); });
        Form1.show();
        return app.exec();
    } catch (const std::exception &error) {
        ShowError(nullptr, QString::fromLocal8Bit(error.what()));
        return 1;
    }
}
