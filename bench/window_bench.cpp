// Start-up to the first shown window, and one command-line rebuild through the window.
#include "app/form1.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>

#include <chrono>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

static void StartupToFirstShownWindow(benchmark::State &state)
{
    const std::string probe = QDir(QCoreApplication::applicationDirPath()).filePath("startup_probe").toStdString();
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        pid_t pid;
        char *argv[] = {const_cast<char *>(probe.c_str()), nullptr};
        if (posix_spawn(&pid, probe.c_str(), nullptr, nullptr, argv, environ) != 0)
            state.SkipWithError("probe did not start");
        int status = 0;
        waitpid(pid, &status, 0);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            state.SkipWithError("the window was not shown");
    }
}
BENCHMARK(StartupToFirstShownWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(5)
    ->ReportAggregatesOnly(true);

static void CommandLineRebuild(benchmark::State &state)
{
    QFile::remove(QDir(QCoreApplication::applicationDirPath()).filePath("Fusewerk.ini"));
    TForm1 form;
    form.deviceBox->SetText("ATmega8");
    form.programmerBox->SetText("usbasp");
    form.flashWrite->setChecked(true);
    form.flashVerify->setChecked(true);
    form.flashFile->setText("/home/user/projects/blink/blink.hex");
    bool on = false;
    for (auto _ : state) {
        // One click on an option box: layout, line and title, as after every change.
        form.verboseBox->setChecked(on = !on);
        benchmark::DoNotOptimize(form.commandLine->text());
    }
}
BENCHMARK(CommandLineRebuild)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

static void TypingInTheFileNameField(benchmark::State &state)
{
    TForm1 form;
    form.deviceBox->SetText("ATmega8");
    form.flashWrite->setChecked(true);
    int i = 0;
    for (auto _ : state) {
        form.flashFile->setText(QStringLiteral("/tmp/file%1.hex").arg(i++ % 100));
        benchmark::DoNotOptimize(form.commandLine->text());
    }
}
BENCHMARK(TypingInTheFileNameField)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);
