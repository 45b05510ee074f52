// Memories: an ATmega2560's 256 KB flash shown in the hex view (the model set, the view laid out
// and drawn), and compared with a 256 KB image file (read by avrdude's rules, then laid over).
#include "images/compare.h"
#include "window/memory_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QTableView>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

QByteArray Flash(int seed)
{
    QByteArray bytes(256 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 31 + seed) & 0xFF);
    return bytes;
}

}  // namespace

static void ShowMemory256K(benchmark::State &state)
{
    window::MemoryModel model;
    QTableView view;
    view.setModel(&model);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.resize(760, 480);
    view.show();
    const QByteArray a = Flash(0), b = Flash(1);
    bool flip = false;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        model.setBytes((flip = !flip) ? a : b);
        view.scrollTo(model.index(model.rowCount() / 2, 0));
        view.repaint();
        QApplication::processEvents();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(ShowMemory256K)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

static void Compare256K(benchmark::State &state)
{
    QTemporaryDir dir;
    QByteArray image = Flash(0);
    for (int i = 0; i < 1000; ++i)
        image[i * 200] = char(~image[i * 200]);
    QFile file(dir.filePath("image.bin"));
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) {
        state.SkipWithError("no image file");
        return;
    }
    file.close();
    const QByteArray chip = Flash(0);
    qint64 differing = 0;
    for (auto _ : state) {
        const images::MemoryFile read = images::ReadForWrite(file.fileName(), u'r', {QStringLiteral("flash"), chip.size()});
        const images::Comparison c = images::Compare(chip, read);
        differing = c.differing;
        benchmark::DoNotOptimize(c);
    }
    state.counters["differing"] = double(differing);
}
BENCHMARK(Compare256K)->Unit(benchmark::kMillisecond);
