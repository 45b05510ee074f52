// "Execute" with a stand-in tool printing 1 MB and 10 MB, beside the same tool run alone.
#include "tests/find_controls.h"
#include "window/main_window.h"
#include "window/messages.h"
#include "widgets/output_pane.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QSignalSpy>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <fstream>
#include <algorithm>
#include <string>
#include <vector>

namespace {

// "Execute" returns at once; the run's end comes as the window's signal.
void ExecuteAndWait(MainWindow &form)
{
    QSignalSpy finished(&form, &MainWindow::runFinished);
    Ui(form).executeButton->click();
    if (!finished.wait(600000))
        std::abort();
}


// Bytes per second of the paced stand-in: a generous rate for a programmer's -v -v -v trace or a
// flash dump to the screen, which arrive over a serial or USB link.
constexpr int kPacedRate = 1024 * 1024;

// The stand-in: prints `megabytes` of avrdude-like trace lines, at full speed (rate 0) or paced.
QString WriteStandIn(int megabytes, int rate)
{
    const QString dir = QCoreApplication::applicationDirPath();
    const QString data = QDir(dir).filePath(QStringLiteral("output-%1mb.txt").arg(megabytes));
    if (!QFile::exists(data)) {
        QFile out(data);
        out.open(QIODevice::WriteOnly);
        const qint64 size = qint64(megabytes) * 1024 * 1024;
        qint64 written = 0;
        for (int i = 0; written < size; ++i) {
            const QByteArray line = QStringLiteral("avrdude: Send: . [1b] . [%1] . [00] . [03] . [0e] . [10] . [20] "
                                                   "avrdude: Recv: . [1b] . [%1]\n")
                                        .arg(i % 256, 2, 16, QLatin1Char('0'))
                                        .toLatin1();
            written += out.write(line);
        }
    }
    return QStringLiteral("\"%1\" \"%2\" %3").arg(QDir(dir).filePath("paced_printer"), data).arg(rate);
}

long ProcStatusKb(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stol(line.substr(std::strlen(field)));
    return 0;
}

void ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

double Seconds(const std::function<void()> &work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void ToolAlone(benchmark::State &state)
{
    const QString tool = WriteStandIn(int(state.range(0)), int(state.range(1)));
    const std::string command = tool.toStdString() + " > /dev/null";
    for (auto _ : state)
        state.SetIterationTime(Seconds([&] { std::system(command.c_str()); }));
    state.SetBytesProcessed(state.iterations() * state.range(0) * 1024 * 1024);
}

void ThroughExecute(benchmark::State &state)
{
    const QString tool = WriteStandIn(int(state.range(0)), int(state.range(1)));
    SetToneHook([](int, int) {});
    SetMessageHook([](MessageKind, const QString &, const QString &) {});
    // The same tool alone, for the ratio: the median of three runs.
    std::vector<double> alone;
    const std::string command = tool.toStdString() + " > /dev/null";
    for (int i = 0; i < 3; ++i)
        alone.push_back(Seconds([&] { std::system(command.c_str()); }));
    std::sort(alone.begin(), alone.end());
    MainWindow form;
    const window::Controls ui = Ui(form);
    form.show();
    double peakGrowthMb = 0;
    double total = 0;
    for (auto _ : state) {
        ui.outputPane->beginOutput();
        QCoreApplication::processEvents();
        ui.commandLine->setText(tool);
        ResetPeak();
        const long before = ProcStatusKb("VmRSS:");
        const double took = Seconds([&] { ExecuteAndWait(form); });
        total += took;
        state.SetIterationTime(took);
        peakGrowthMb = std::max(peakGrowthMb, (ProcStatusKb("VmHWM:") - before) / 1024.0);
        if (ui.outputPane->outputText().size() < state.range(0) * 1000 * 1000)
            state.SkipWithError("the pane did not receive the whole output");
    }
    state.counters["ratio_to_tool_alone"] = total / double(state.iterations()) / alone[1];
    state.counters["peak_growth_MB"] = peakGrowthMb;
    state.counters["growth_per_output"] = peakGrowthMb / double(state.range(0));
    state.SetBytesProcessed(state.iterations() * state.range(0) * 1024 * 1024);
}

// A stand-in that prints 10 MB with no line break at all: one paragraph for the pane to lay out.
void OneLongLine(benchmark::State &state)
{
    const QString dir = QCoreApplication::applicationDirPath();
    const QString data = QDir(dir).filePath(QStringLiteral("output-10mb-one-line.txt"));
    if (!QFile::exists(data)) {
        QFile out(data);
        out.open(QIODevice::WriteOnly);
        out.write(QByteArray(10 * 1024 * 1024, 'x'));
    }
    const QString tool = QStringLiteral("\"%1\" \"%2\" 0").arg(QDir(dir).filePath("paced_printer"), data);
    const std::string command = tool.toStdString() + " > /dev/null";
    const double alone = Seconds([&] { std::system(command.c_str()); });
    SetMessageHook([](MessageKind, const QString &, const QString &) {});
    MainWindow form;
    const window::Controls ui = Ui(form);
    form.show();
    for (auto _ : state) {
        ui.commandLine->setText(tool);
        state.SetIterationTime(Seconds([&] { ExecuteAndWait(form); }));
        if (ui.outputPane->outputText() != QString(10 * 1024 * 1024, u'x'))
            state.SkipWithError("the output was not kept whole");
    }
    state.counters["tool_alone_ms"] = alone * 1000;
}

// From a click on Stop to the tool gone and the window enabled, the tool busy printing meanwhile.
void StopToIdle(benchmark::State &state)
{
    const QString dir = QCoreApplication::applicationDirPath();
    QFile script(QDir(dir).filePath(QStringLiteral("busy-tool")));
    script.open(QIODevice::WriteOnly);
    script.write("#!/bin/sh\n(while :; do echo child; sleep 0.01; done) &\nwhile :; do echo \"Writing | ##\"; sleep 0.01; done\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    SetMessageHook([](MessageKind, const QString &, const QString &) {});
    MainWindow form;
    const window::Controls ui = Ui(form);
    form.show();
    for (auto _ : state) {
        ui.commandLine->setText(script.fileName());
        std::chrono::steady_clock::time_point clicked;
        QTimer::singleShot(300, &form, [&] {
            clicked = std::chrono::steady_clock::now();
            QTest::mouseClick(ui.runStrip->stopButton(), Qt::LeftButton);
        });
        ExecuteAndWait(form);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - clicked).count();
        state.SetIterationTime(took);
        if (!ui.executeButton->isEnabled() || !ui.runStrip->text().startsWith(QLatin1String("Stopped")))
            state.SkipWithError("the run did not end as stopped");
    }
}

// A great deal of output: 200 MB through a low fuse Read (the value on its first line) or Execute,
// beside the same tool alone, and endless output through Execute stopped after 5 s. Peak resident
// memory of the whole process, the longest the event loop went without turning (the window answers
// input only then), and for the stopped run, the time from Stop to the window taking input again.
void BoundedOutput(benchmark::State &state)
{
    const bool endless = state.range(0) == 0;
    const bool read = state.range(1) == 1;
    const QString dir = QCoreApplication::applicationDirPath();
    QFile script(QDir(dir).filePath(QStringLiteral("avrdude.exe")));  // found beside the program first
    script.open(QIODevice::WriteOnly);
    script.write(endless ? "#!/bin/sh\necho 225\nyes 'avrdude: a line of output of an ordinary length, again and again'\n"
                         : "#!/bin/sh\necho 225\nyes 'avrdude: a line of output of an ordinary length, again and again' "
                           "| head -c 200000000\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    const std::string alone = "\"" + script.fileName().toStdString() + "\" > /dev/null";
    const double aloneSeconds = endless ? 0 : Seconds([&] { std::system(alone.c_str()); });
    SetMessageHook([](MessageKind, const QString &, const QString &) {});
    MainWindow form;
    const window::Controls ui = Ui(form);
    form.show();
    double longestStallMs = 0, stopToIdleMs = 0, took = 0;
    for (auto _ : state) {
        ui.byteEditor(fuses::FuseByte::Low)->setValue(0);
        form.session().setReadLine(0);
        QElapsedTimer sinceTurn;
        sinceTurn.start();
        QTimer turn;
        QObject::connect(&turn, &QTimer::timeout, [&] {
            longestStallMs = std::max(longestStallMs, sinceTurn.nsecsElapsed() / 1e6);
            sinceTurn.restart();
        });
        turn.start(5);
        ResetPeak();
        std::chrono::steady_clock::time_point stopped;
        if (endless)
            QTimer::singleShot(5000, &form, [&] {
                stopped = std::chrono::steady_clock::now();
                form.session().stop();
            });
        QSignalSpy finished(&form, &MainWindow::runFinished);
        took = Seconds([&] {
            if (read)
                ui.byteEditor(fuses::FuseByte::Low)->readButton()->click();
            else {
                ui.commandLine->setText(QStringLiteral("avrdude.exe"));
                ui.executeButton->click();
            }
            finished.wait(600000);
        });
        if (endless)
            stopToIdleMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - stopped).count();
        state.SetIterationTime(took);
        if (read && ui.byteEditor(fuses::FuseByte::Low)->hexText() != QLatin1String("E1"))
            state.SkipWithError("the read did not find its value");
    }
    state.counters["peak_RSS_MB"] = ProcStatusKb("VmHWM:") / 1024.0;
    state.counters["longest_stall_ms"] = longestStallMs;
    if (endless)
        state.counters["stop_to_idle_ms"] = stopToIdleMs;
    else
        state.counters["ratio_to_tool_alone"] = took / aloneSeconds;
    script.remove();
}

// Ctrl+F in 200 MB of output: the last line found (every byte read) and its matches counted, and a
// common word found with its count of 2.9 million.
void FindIn200MB(benchmark::State &state)
{
    widgets::OutputPane pane(nullptr);
    pane.resize(622, 400);
    pane.show();
    QString piece;
    while (piece.size() < 1024 * 1024)
        piece += QStringLiteral("avrdude: Send: . [1b] . [%1] . [00] . [03] avrdude: Recv: . [1b] . [0e]\n").arg(piece.size() % 256);
    for (int i = 0; i < 200; ++i)
        pane.appendOutput(piece);
    pane.appendOutput(u"the very last line\n");
    pane.flush();
    const QString wanted = state.range(0) == 0 ? QStringLiteral("very last") : QStringLiteral("Recv");
    for (auto _ : state) {
        pane.showCaretAtEnd();  // every search starts anew, from the end
        const double took = Seconds([&] {
            if (!pane.findNext(wanted))
                state.SkipWithError("not found");
        });
        state.SetIterationTime(took);
    }
    state.SetLabel(pane.findCountText().toStdString());
}

}  // namespace

BENCHMARK(FindIn200MB)->ArgNames({"common"})->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BoundedOutput)->ArgNames({"MB", "read"})->Args({200, 1})->Args({200, 0})->Args({0, 0})
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(OneLongLine)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(StopToIdle)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3)
    ->ReportAggregatesOnly(true);

// Arguments: megabytes, then bytes per second (0: as fast as the pipe takes them).
BENCHMARK(ToolAlone)->ArgNames({"MB", "rate"})->Args({1, 0})->Args({10, 0})->Args({1, kPacedRate})
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(ThroughExecute)->ArgNames({"MB", "rate"})->Args({1, 0})->Args({10, 0})->Args({1, kPacedRate})
    ->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
