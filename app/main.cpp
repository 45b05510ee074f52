#include "app/application.h"
#include "app/display_check.h"
#include "explain/board_lines.h"
#include "explain/explain.h"
#include "explain/program_cli.h"
#include "explain/compare_cli.h"
#include "window/main_window.h"
#include "installed/installed_avrdude.h"
#include "window/messages.h"
#include "app/signal_exit.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

// The modes of the command line, each run without a display.
struct Mode {
    const char *option;
    const char *usage;
    int (*run)(const QStringList &arguments);
};
const Mode kModes[] = {
    {"--explain", "--explain PART [MEMORY=HH]...\n      what fuse and lock values mean for a part", RunExplain},
    {"--program", "--program FILE.elf -p PART (-c PROGRAMMER [-P PORT] | --station \"-c ID -P PORT\"...) [--count N] "
                  "[--serial-at ADDR --serial FIRST] [--log FILE] [--verify] [--yes]\n"
                  "      a whole chip from one ELF file, board after board, on one programmer or several at once", RunProgram},
    {"--boards", "--boards [--core DIR]...\n      the boards of the installed Arduino cores", RunBoards},
    {"--board-menus", "--board-menus FQBN [--core DIR]...\n      a board's menus and their options", RunBoardMenus},
    {"--board-lines", "--board-lines FQBN[:MENU=OPTION,...] -c PROGRAMMER [-P PORT] [--core DIR]... [--yes]\n"
                      "      the lines Burn Bootloader runs for a board", RunBoardLines},
    {"--compare", "--compare FILE[:FORMAT] -p PART -c PROGRAMMER [-P PORT] [--memory MEMORY]\n"
                  "      where the chip's memory (flash unless told) differs from an image file", RunCompare},
    {"--attached", "--attached [--core DIR]...\n      the programmers, boards and serial adapters plugged in, and what to choose for each",
     RunAttached},
};

// Options Qt's own application object takes (the window's platform, style, geometry ...): 2 for one
// with a value, 1 for a flag, 0 for none of them. Each may start with one dash or two.
int QtOption(const char *option)
{
    static const char *const valued[] = {"platform", "platformpluginpath", "platformtheme", "plugin", "qmljsdebugger",
                                         "qwindowgeometry", "qwindowicon", "qwindowtitle", "session", "style",
                                         "stylesheet", "display", "geometry", "name", "title", "visual", "fontengine"};
    static const char *const flags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
    const char *name = option[0] == '-' ? option + (option[1] == '-' ? 2 : 1) : nullptr;
    if (!name)
        return 0;
    for (const char *k : valued)
        if (std::strcmp(name, k) == 0)
            return 2;
    for (const char *k : flags)
        if (std::strcmp(name, k) == 0)
            return 1;
    return 0;
}

void Help()
{
    std::printf("Usage:\n  fusewerk [Qt's options: -style NAME, -platform NAME ...]\n      the window\n");
    for (const Mode &m : kModes)
        std::printf("  fusewerk %s\n", m.usage);
    std::printf("  fusewerk --help\n      this text\n  fusewerk --version\n      the version\n");
}

}  // namespace

int main(int argc, char **argv)
{
    // The command-line entry: no display, no window.
    if (argc >= 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        Help();
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    if (argc >= 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("fusewerk %s (Qt %s)\n", FUSEWERK_VERSION, qVersion());
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }
    for (const Mode &m : kModes)
        if (argc >= 2 && std::strcmp(argv[1], m.option) == 0) {
            QCoreApplication app(argc, argv);
            // A bench told to end stops its boards and logs them, rather than dying between two lines.
            if (m.run == RunProgram)
                CallOnTerminationSignals(StopProgram);
            return m.run(QCoreApplication::arguments().mid(2));
        }
    // The window takes none but Qt's own options.
    for (int i = 1; i < argc; ++i) {
        if (const int kind = QtOption(argv[i])) {
            i += kind - 1;  // its value
            continue;
        }
        std::fprintf(stderr, "fusewerk: unknown %s \"%s\"; see fusewerk --help\n", argv[i][0] == '-' ? "option" : "argument", argv[i]);
        return 2;
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
