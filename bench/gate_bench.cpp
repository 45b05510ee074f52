// Judging a line with a 256 KB flash image for an ATmega2560 (recorded avrdude 7.1 part data): the
// image read as avrdude reads it, checked against the flash's size, and a fuse write judged.
#include "compose/vocabulary.h"
#include "fuses/gate.h"
#include "runner/command_split.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

static void JudgeLineWith256KBImage(benchmark::State &state)
{
    QFile recorded(QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/parts_St.txt"));
    if (!recorded.open(QIODevice::ReadOnly)) {
        state.SkipWithError("no recorded part data");
        return;
    }
    const compose::Vocabulary words({compose::ParseParts(recorded.readAll()), {}});
    QTemporaryDir dir;
    const QString image = dir.filePath(QStringLiteral("full.hex"));
    QFile out(image);
    out.open(QIODevice::WriteOnly);
    // 16-byte records over 256 KB, with the extended linear address records avr-objcopy writes.
    for (quint32 address = 0; address < 256 * 1024; address += 16) {
        if (address % 0x10000 == 0) {
            const quint8 high = static_cast<quint8>(address >> 16);
            out.write(QStringLiteral(":02000004%1%2\n").arg(high, 4, 16, QLatin1Char('0'))
                          .arg(static_cast<quint8>(-(2 + 4 + high)), 2, 16, QLatin1Char('0')).toUpper().toLatin1());
        }
        QByteArray record = QByteArray::fromHex(QByteArray::number(0x10000000u | (address & 0xFFFF) << 8, 16)) + QByteArray(16, char(0x5A));
        quint8 sum = 0;
        for (const char c : record)
            sum = static_cast<quint8>(sum + static_cast<quint8>(c));
        record.append(static_cast<char>(-sum));
        out.write(":" + record.toHex().toUpper() + "\n");
    }
    out.write(":00000001FF\n");
    out.close();
    const QStringList args = runner::SplitCommandLine(
        QStringLiteral("avrdude.exe -p m2560 -c usbasp -U flash:w:%1:i -U hfuse:w:0xD9:m").arg(image));
    for (auto _ : state) {
        const fuses::GateVerdict verdict = fuses::JudgeLine(args, {}, words);
        if (!verdict.refusal.isEmpty())
            state.SkipWithError(verdict.refusal.toUtf8().constData());
        benchmark::DoNotOptimize(verdict);
    }
}
BENCHMARK(JudgeLineWith256KBImage)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
