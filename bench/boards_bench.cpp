// Boards with Debian's core and MiniCore installed (in a home of the benchmark's own): "fusewerk
// --boards" as a whole process, and a board change in the window (its menus, the burn's plan and
// its values in the editors).
#include "tests/find_controls.h"
#include "installed/installed_avrdude.h"
#include "window/main_window.h"

#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

// MiniCore where a user's sketchbook keeps it, in a home of its own.
bool InstallMiniCore(const QTemporaryDir &home)
{
    const QString from = QStringLiteral(FUSEWERK_CORES "/MiniCore/avr");
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next(), target = home.filePath("Arduino/hardware/MiniCore/avr") + file.mid(from.size());
        QDir().mkpath(QFileInfo(target).path());
        if (!QFile::copy(file, target))
            return false;
    }
    return true;
}

}  // namespace

static void BoardsCommand(benchmark::State &state)
{
    QTemporaryDir home;
    if (!QFileInfo(QStringLiteral("/usr/share/arduino/hardware/arduino/avr/boards.txt")).isFile() || !InstallMiniCore(home)) {
        state.SkipWithError("Debian's arduino-core-avr is not installed");
        return;
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        QProcess boards;
        boards.setProcessEnvironment(env);
        boards.start(QStringLiteral(FUSEWERK_PROGRAM), {QStringLiteral("--boards")});
        boards.waitForFinished(10000);
        state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
        if (boards.exitCode() != 0 || !boards.readAllStandardOutput().contains("MiniCore:avr:328"))
            state.SkipWithError("--boards did not list MiniCore");
    }
}
BENCHMARK(BoardsCommand)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3)->ReportAggregatesOnly(true);

static void BoardChangeInTheWindow(benchmark::State &state)
{
    QTemporaryDir home;
    if (!InstallMiniCore(home)) {
        state.SkipWithError("MiniCore could not be installed");
        return;
    }
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    WindowDeps deps;
    deps.vocabulary = AskInstalledAvrdude();
    MainWindow form(deps);
    qputenv("HOME", oldHome);
    QComboBox *board = Ui(form).boardBox;
    const int rows[] = {board->findText("ATmega328", Qt::MatchEndsWith), board->findText("ATmega8", Qt::MatchEndsWith)};
    if (rows[0] < 0 || rows[1] < 0) {
        state.SkipWithError("MiniCore's boards are not listed");
        return;
    }
    int turn = 0;
    for (auto _ : state) {
        const int row = rows[turn++ % 2];
        board->setCurrentIndex(row);
        emit board->activated(row);
    }
}
BENCHMARK(BoardChangeInTheWindow)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
