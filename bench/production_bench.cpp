// Program Chip on a bench: boards a minute with 1, 2, 4 and 8 stations of emulated programmers
// paced like a USBasp (a few milliseconds a command), through "fusewerk --program"; and the
// window's longest stall while eight stations program side by side.
#include "installed/installed_avrdude.h"
#include "settings/settings.h"
#include "tests/find_controls.h"
#include "tests/lab/emulator.h"
#include "window/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include <time.h>

namespace {

// A USBasp answers a command in about a USB frame or two: 2 ms a command.
const QStringList kPaced{QStringLiteral("--delay-ms"), QStringLiteral("2")};
const QString kElf = QStringLiteral(FUSEWERK_ELF_DIR "/whole_m8.elf");

// The processor time the window's thread has used, in microseconds: a stall in which the thread
// used little of it was spent waiting for a processor, not working.
qint64 ThreadMicros()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<qint64>(t.tv_sec) * 1000000 + t.tv_nsec / 1000;
}

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
    // As on a production bench: each board its serial number, and a line of the log.
    QTemporaryDir logs;
    const QString log = logs.filePath(QStringLiteral("boards.csv"));
    dialog->findChild<QLineEdit *>(QStringLiteral("ProgramLog"))->setText(log);
    dialog->findChild<QCheckBox *>(QStringLiteral("SerialOn"))->setChecked(true);
    dialog->findChild<QLineEdit *>(QStringLiteral("SerialAddress"))->setText(QStringLiteral("0x10"));
    dialog->findChild<QLineEdit *>(QStringLiteral("SerialNext"))->setText(QStringLiteral("1"));
    for (const auto &e : emulators) {
        dialog->findChild<QLineEdit *>(QStringLiteral("StationText"))->setText(QStringLiteral("-c stk500v1 -P ") + e->Port());
        dialog->findChild<QPushButton *>(QStringLiteral("AddStation"))->click();
    }
    // The window and the dialog are painted before the click, as they are long before a user's.
    if (!QTest::qWaitForWindowExposed(&form) || !QTest::qWaitForWindowExposed(dialog))
        state.SkipWithError("the window was not shown");
    QTest::qWait(300);
    qint64 longest = 0, longestCpu = 0, judging = 0, busiest = 0;
    for (auto _ : state) {
        QElapsedTimer timer, gap;
        timer.start();
        QTimer beat;
        beat.setInterval(1);
        beat.setTimerType(Qt::PreciseTimer);
        qint64 worst = 0, worstCpu = 0, lastCpu = 0;
        QObject::connect(&beat, &QTimer::timeout, [&] {
            const qint64 cpu = ThreadMicros();
            const qint64 took = gap.restart();
            if (took > worst) {
                worst = took;
                worstCpu = cpu - lastCpu;
            }
            busiest = std::max(busiest, cpu - lastCpu);
            lastCpu = cpu;
        });
        // The click judges every station's lines before the first starts: timed on its own.
        QElapsedTimer click;
        click.start();
        dialog->findChild<QPushButton *>(QStringLiteral("ProgramChipButton"))->click();
        judging = std::max(judging, click.elapsed());
        gap.start();
        lastCpu = ThreadMicros();
        beat.start();
        // The program's own event loop, not QTest::qWaitFor: that one sleeps 10 ms between rounds.
        QEventLoop loop;
        QTimer poll, limit;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (!form.session().running())
                loop.quit();
        });
        QObject::connect(&limit, &QTimer::timeout, &loop, [&] {
            state.SkipWithError("the boards did not end");
            loop.quit();
        });
        poll.start(5);
        limit.start(120000);
        loop.exec();
        beat.stop();
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        if (worst > longest) {
            longest = worst;
            longestCpu = worstCpu;
        }
    }
    state.counters["longest_stall_ms"] = static_cast<double>(longest);
    state.counters["judging_ms"] = static_cast<double>(judging);
    // What the window's thread itself worked between two beats: in the longest stall, and at most.
    state.counters["stall_cpu_ms"] = longestCpu / 1000.0;
    state.counters["busiest_gap_cpu_ms"] = busiest / 1000.0;
    form.close();
    QFile logged(log);
    if (!logged.open(QIODevice::ReadOnly) || logged.readAll().count('\n') != 1 + 8 * static_cast<qsizetype>(state.iterations()))
        state.SkipWithError("the log does not hold a line for each board");
    QFile::remove(settings::SettingsPath());
}
BENCHMARK(WindowStallWithEightStations)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
