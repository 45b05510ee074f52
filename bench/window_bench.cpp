// Start-up to the first shown window, and one command-line rebuild through the window.
#include "tests/find_controls.h"
#include "window/main_window.h"
#include "installed/installed_avrdude.h"

#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>

#include <chrono>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

static void RunProbe(benchmark::State &state, std::vector<std::string> args)
{
    const std::string probe = QDir(QCoreApplication::applicationDirPath()).filePath("startup_probe").toStdString();
    args.insert(args.begin(), probe);
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        pid_t pid;
        if (posix_spawn(&pid, probe.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
            state.SkipWithError("probe did not start");
        int status = 0;
        waitpid(pid, &status, 0);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("the window was not shown");
    }
}
static void StartupToFirstShownWindow(benchmark::State &state) { RunProbe(state, {}); }

// An avrdude that knows `range(0)` parts and as many programmers, its lists read from the cache.
static void StartupWithLargeLists(benchmark::State &state)
{
    const QDir dir(QCoreApplication::applicationDirPath());
    const QString tool = dir.filePath(QStringLiteral("large-avrdude"));
    const QString cache = dir.filePath(QStringLiteral("large-avrdude.tsv"));
    QFile script(tool);
    script.open(QIODevice::WriteOnly);
    script.write("#!/bin/sh\nexit 1\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    compose::InstalledAvrdude many;
    for (int i = 0; i < state.range(0); ++i) {
        many.parts.push_back({QStringLiteral("ATbench%1").arg(i), QStringLiteral("b%1").arg(i), QStringLiteral("1E9%1").arg(i % 1000, 3, 10, QLatin1Char('0')),
                              {{QStringLiteral("lfuse"), 1, 0}, {QStringLiteral("hfuse"), 1, 0}, {QStringLiteral("lock"), 1, 0}}, {}});
        many.programmers.push_back({QStringLiteral("prog%1").arg(i), QStringLiteral("Programmer number %1").arg(i), false});
    }
    // Written with the key the program forms for that file, as a first start would leave it.
    QFile::remove(cache);
    LoadInstalledAvrdude(tool, cache);  // the stand-in answers nothing: no cache yet
    const QByteArray key = InstalledCacheKey(tool);
    QFile out(cache);
    out.open(QIODevice::WriteOnly);
    out.write(InstalledCacheText(key, many));
    out.close();
    if (LoadInstalledAvrdude(tool, cache).parts.size() != many.parts.size())
        state.SkipWithError("the cache was not taken");
    RunProbe(state, {tool.toStdString(), cache.toStdString()});
}
BENCHMARK(StartupWithLargeLists)->Arg(20000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK(StartupToFirstShownWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(5)
    ->ReportAggregatesOnly(true);

static void CommandLineRebuild(benchmark::State &state)
{
    QFile::remove(QDir(QCoreApplication::applicationDirPath()).filePath("Fusewerk.ini"));
    MainWindow form;
    const window::Controls ui = Ui(form);
    ui.deviceBox->setEditText("ATmega8");
    ui.programmerBox->setEditText("usbasp");
    ui.flashWrite->setChecked(true);
    ui.flashVerify->setChecked(true);
    ui.flashFile->setText("/home/user/projects/blink/blink.hex");
    bool on = false;
    for (auto _ : state) {
        // One click on an option box: layout, line and title, as after every change.
        ui.verboseBox->setChecked(on = !on);
        benchmark::DoNotOptimize(ui.commandLine->text());
    }
}
BENCHMARK(CommandLineRebuild)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

static void TypingInTheFileNameField(benchmark::State &state)
{
    MainWindow form;
    const window::Controls ui = Ui(form);
    ui.deviceBox->setEditText("ATmega8");
    ui.flashWrite->setChecked(true);
    int i = 0;
    for (auto _ : state) {
        ui.flashFile->setText(QStringLiteral("/tmp/file%1.hex").arg(i++ % 100));
        benchmark::DoNotOptimize(ui.commandLine->text());
    }
}
BENCHMARK(TypingInTheFileNameField)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// A change of device between two parts with device data: layout, fuse settings panel rebuilt, line.
static void DeviceChangeWithFuseSettings(benchmark::State &state)
{
    MainWindow form;
    const window::Controls ui = Ui(form);
    form.show();
    bool flip = false;
    for (auto _ : state) {
        ui.deviceBox->setEditText((flip = !flip) ? QStringLiteral("ATmega328P") : QStringLiteral("ATmega8"));
        QCoreApplication::sendPostedEvents();  // the new panel's layout requests
        benchmark::DoNotOptimize(ui.fuseSettings->meanings());
    }
}
BENCHMARK(DeviceChangeWithFuseSettings)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// A change of device to a part with fuses of its own and back, with the installed avrdude's parts:
// the panel rebuilt as the editor of the ATtiny1614's nine fuse memories, then as the ATmega8's.
static void DeviceChangeToAUpdiPart(benchmark::State &state)
{
    WindowDeps deps;
    deps.vocabulary = AskInstalledAvrdude();
    MainWindow form(std::move(deps));
    const window::Controls ui = Ui(form);
    form.show();
    ui.deviceBox->setEditText(QStringLiteral("ATtiny1614"));
    if (!ui.fuseSettings->ownFuses())
        state.SkipWithError("the installed avrdude does not know the ATtiny1614");
    bool flip = false;
    for (auto _ : state) {
        ui.deviceBox->setEditText((flip = !flip) ? QStringLiteral("ATmega8") : QStringLiteral("ATtiny1614"));
        QCoreApplication::sendPostedEvents();
        benchmark::DoNotOptimize(ui.fuseSettings->ownFuses());
    }
}
BENCHMARK(DeviceChangeToAUpdiPart)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

// A clock setting chosen in the panel: byte editor, command line, and the panel shown again.
static void FuseSettingEditRoundTrip(benchmark::State &state)
{
    MainWindow form;
    const window::Controls ui = Ui(form);
    ui.deviceBox->setEditText("ATmega328P");
    QComboBox *clock = ui.fuseSettings->settingBox(fuses::FuseByte::Low, "SUT_CKSEL");
    int i = 0;
    for (auto _ : state) {
        clock->setCurrentIndex(i = (i + 1) % clock->count());
        benchmark::DoNotOptimize(ui.byteEditor(fuses::FuseByte::Low)->hexText());
    }
}
BENCHMARK(FuseSettingEditRoundTrip)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
