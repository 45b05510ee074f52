// Program Chip on a bench: boards a minute with 1, 2, 4 and 8 stations of emulated programmers
// paced like a USBasp (a few milliseconds a command), through "fusewerk --program"; and the
// window's longest stall while eight stations program side by side.
#include "installed/installed_avrdude.h"
#include "settings/settings.h"
#include "tests/find_controls.h"
#include "tests/lab/emulator.h"
#include "window/main_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

// A USBasp answers a command in about a USB frame or two: 2 ms a command.
const QStringList kPaced{QStringLiteral("--delay-ms"), QStringLiteral("2")};
const QString kElf = QStringLiteral(FUSEWERK_ELF_DIR "/whole_m8.elf");

std::vector<std::unique_ptr<Emulator>> Emulators(int count)
{
    std::vector<std::unique_ptr<Emulator>> out;
    for (int i = 0; i < count; ++i)
        out.push_back(std::make_unique<Emulator>(kPaced));
    return out;
}

}  // namespace

// Eight boards over range(0) stations, each station taking the next board as soon as it is free.
static void BoardsPerMinute(benchmark::State &state)
{
    const int stations = static_cast<int>(state.range(0));
    const int boards = 8;
    const auto emulators = Emulators(stations);
    QStringList args{QStringLiteral("--program"), kElf, QStringLiteral("-p"), QStringLiteral("m8"), QStringLiteral("--count"),
                     QString::number(boards), QStringLiteral("--serial-at"), QStringLiteral("0x10"), QStringLiteral("--serial"),
                     QStringLiteral("1")};
    for (const auto &e : emulators)
        args << QStringLiteral("--station") << QStringLiteral("-c stk500v1 -P ") + e->Port();
    double seconds = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        QProcess run;
        run.start(QStringLiteral(FUSEWERK_PROGRAM), args);
        if (!run.waitForFinished(300000) || run.exitCode() != 0)
            state.SkipWithError("a board failed");
        const double took = timer.nsecsElapsed() / 1e9;
        seconds += took;
        state.SetIterationTime(took);
    }
    state.counters["boards_per_minute"] = boards * 60.0 * static_cast<double>(state.iterations()) / seconds;
}
BENCHMARK(BoardsPerMinute)->ArgNames({"stations"})->Arg(1)->Arg(2)->Arg(4)->Arg(8)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

// The window's event loop, watched by a 1 ms timer, while eight stations program a board each.
static void WindowStallWithEightStations(benchmark::State &state)
{
    const auto emulators = Emulators(8);
    // A settings file of the bench's own: the stations of an earlier run are not listed again.
    QFile::remove(settings::SettingsPath());
    WindowDeps deps;
    deps.vocabulary = AskInstalledAvrdude();
    deps.listUsb = [] { return std::vector<attached::UsbDevice>{}; };
    MainWindow form(std::move(deps));
    form.show();
    const window::Controls ui = Ui(form);
    ui.deviceBox->setEditText(QStringLiteral("ATmega8"));
    ui.programButton->click();
    auto *dialog = form.findChild<QWidget *>(QStringLiteral("ProgramDialog"));
    dialog->findChild<QLineEdit *>(QStringLiteral("ProgramFile"))->setText(kElf);
    for (const auto &e : emulators) {
        dialog->findChild<QLineEdit *>(QStringLiteral("StationText"))->setText(QStringLiteral("-c stk500v1 -P ") + e->Port());
        dialog->findChild<QPushButton *>(QStringLiteral("AddStation"))->click();
    }
    qint64 longest = 0, judging = 0;
    for (auto _ : state) {
        QElapsedTimer timer, gap;
        timer.start();
        QTimer beat;
        beat.setInterval(1);
        beat.setTimerType(Qt::PreciseTimer);
        qint64 worst = 0;
        QObject::connect(&beat, &QTimer::timeout, [&] { worst = std::max(worst, gap.restart()); });
        // The click judges every station's lines before the first starts: timed on its own.
        QElapsedTimer click;
        click.start();
        dialog->findChild<QPushButton *>(QStringLiteral("ProgramChipButton"))->click();
        judging = std::max(judging, click.elapsed());
        gap.start();
        beat.start();
        if (!QTest::qWaitFor([&] { return !form.session().running(); }, 120000))
            state.SkipWithError("the boards did not end");
        beat.stop();
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        longest = std::max(longest, worst);
    }
    state.counters["longest_stall_ms"] = static_cast<double>(longest);
    state.counters["judging_ms"] = static_cast<double>(judging);
    form.close();
    QFile::remove(settings::SettingsPath());
}
BENCHMARK(WindowStallWithEightStations)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
