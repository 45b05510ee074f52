// Judging a line with a 256 KB flash image for an ATmega2560 (recorded avrdude 7.1 part data): the
// image read as avrdude reads it, checked against the flash's size, and a fuse write judged.
#include "compose/vocabulary.h"
#include "fuses/gate.h"
#include "installed/avrdude_config.h"
#include "installed/installed_avrdude.h"
#include "runner/tool_run.h"
#include "session/run_plan.h"
#include "production/program_plan.h"
#include "runner/command_split.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

// The recorded avrdude 7.1 part data; null (the benchmark skipped) without it.
static std::optional<compose::Vocabulary> RecordedWords(benchmark::State &state)
{
    QFile recorded(QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/parts_St.txt"));
    if (!recorded.open(QIODevice::ReadOnly)) {
        state.SkipWithError("no recorded part data");
        return std::nullopt;
    }
    return compose::Vocabulary({compose::ParseParts(recorded.readAll()), {}});
}

// 256 KB of Intel hex in 16-byte records, with the extended linear address records avr-objcopy
// writes, in `dir`.
static QString Write256KBHex(const QTemporaryDir &dir)
{
    const QString image = dir.filePath(QStringLiteral("full.hex"));
    QFile out(image);
    out.open(QIODevice::WriteOnly);
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
    return image;
}

static void JudgeLineWith256KBImage(benchmark::State &state)
{
    const std::optional<compose::Vocabulary> recorded = RecordedWords(state);
    if (!recorded)
        return;
    const compose::Vocabulary &words = *recorded;
    QTemporaryDir dir;
    const QString image = Write256KBHex(dir);
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

// The same line as a run judges it: the configuration files avrdude will read looked at (the
// installed avrdude's part data, asked once before), the line judged, and the private copy of the
// image written, then removed.
static void JudgeAndCopyWith256KBImage(benchmark::State &state)
{
    auto words = std::make_shared<const compose::Vocabulary>(AskInstalledAvrdude());
    if (!words->knowsParts()) {
        state.SkipWithError("no installed avrdude");
        return;
    }
    installed::ConfiguredParts configured(words);
    QTemporaryDir dir;
    const QString image = Write256KBHex(dir);
    const QStringList args = runner::SplitCommandLine(
        QStringLiteral("avrdude.exe -p m2560 -c usbasp -U flash:w:%1:i -U hfuse:w:0xD9:m").arg(image));
    configured.For({}, runner::ToolEnvironment());  // avrdude's own data, as the window has it
    for (auto _ : state) {
        const installed::LineParts parts = configured.For({}, runner::ToolEnvironment());
        fuses::LineContext context;
        context.configKnown = parts.known;
        context.baseline = parts.baseline.get();
        context.userFiles = parts.userFiles;
        const fuses::GateVerdict verdict = fuses::JudgeLine(args, {}, *parts.words, context);
        QString program, error;
        session::ProgramQuestion(args, words->installed(), &program);
        const std::optional<session::RunPlan> plan = session::PlanRun(args, program, verdict, &error);
        if (!verdict.refusal.isEmpty() || !verdict.questions.isEmpty() || !plan || plan->notes.isEmpty())
            state.SkipWithError("the line was not judged as one that runs with a copy");
        benchmark::DoNotOptimize(plan);
    }
}
BENCHMARK(JudgeAndCopyWith256KBImage)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

namespace {

// A minimal ELF as avr-gcc lays one out: `flash` bytes of .text, then .fuse, .lock and the device
// note, each loaded by a program header of its own.
QByteArray MakeElf(qsizetype flash, const QByteArray &fuses, char lock, const QByteArray &device)
{
    struct Section {
        QByteArray name, data;
        quint32 type, flags, address;
    };
    QByteArray desc(24, '\0');
    desc += QByteArray::fromRawData("\x08\0\0\0\x01\0\0\0", 8) + QByteArray(1, '\0') + device + QByteArray(1, '\0');
    while (desc.size() % 4)
        desc += '\0';
    QByteArray note = QByteArray::fromRawData("\x04\0\0\0", 4);
    const quint32 descsz = static_cast<quint32>(desc.size());
    note += QByteArray(reinterpret_cast<const char *>(&descsz), 4) + QByteArray::fromRawData("\x01\0\0\0" "AVR\0", 8) + desc;
    const std::vector<Section> sections{{".text", QByteArray(flash, char(0x5A)), 1, 6, 0},
                                        {".fuse", fuses, 1, 3, 0x820000},
                                        {".lock", QByteArray(1, lock), 1, 3, 0x830000},
                                        {".note.gnu.avr.deviceinfo", note, 7, 0, 0}};
    QByteArray names(1, '\0');
    std::vector<quint32> nameAt;
    for (const Section &s : sections) {
        nameAt.push_back(static_cast<quint32>(names.size()));
        names += s.name + '\0';
    }
    const quint32 shstrName = static_cast<quint32>(names.size());
    names += ".shstrtab";
    names += '\0';
    const auto u32 = [](QByteArray &out, quint32 v) { out.append(reinterpret_cast<const char *>(&v), 4); };
    const auto u16 = [](QByteArray &out, quint16 v) { out.append(reinterpret_cast<const char *>(&v), 2); };
    const quint32 loads = 3, phoff = 52, dataAt = phoff + loads * 32;
    QByteArray data;
    std::vector<quint32> offsets;
    for (const Section &s : sections) {
        offsets.push_back(dataAt + static_cast<quint32>(data.size()));
        data += s.data;
    }
    const quint32 namesAt = dataAt + static_cast<quint32>(data.size());
    const quint32 shoff = namesAt + static_cast<quint32>(names.size());
    QByteArray elf("\x7f" "ELF\x01\x01\x01", 7);
    elf += QByteArray(9, '\0');
    u16(elf, 2), u16(elf, 83), u32(elf, 1), u32(elf, 0), u32(elf, phoff), u32(elf, shoff), u32(elf, 0);
    u16(elf, 52), u16(elf, 32), u16(elf, static_cast<quint16>(loads)), u16(elf, 40);
    u16(elf, static_cast<quint16>(sections.size() + 2)), u16(elf, static_cast<quint16>(sections.size() + 1));
    for (quint32 i = 0; i < loads; ++i) {
        const quint32 size = static_cast<quint32>(sections[i].data.size());
        u32(elf, 1), u32(elf, offsets[i]), u32(elf, sections[i].address), u32(elf, sections[i].address);
        u32(elf, size), u32(elf, size), u32(elf, sections[i].flags & 4 ? 5 : 6), u32(elf, 1);
    }
    elf += data + names;
    elf += QByteArray(40, '\0');
    for (std::size_t i = 0; i < sections.size(); ++i) {
        u32(elf, nameAt[i]), u32(elf, sections[i].type), u32(elf, sections[i].flags), u32(elf, sections[i].address);
        u32(elf, offsets[i]), u32(elf, static_cast<quint32>(sections[i].data.size())), u32(elf, 0), u32(elf, 0);
        u32(elf, 1), u32(elf, 0);
    }
    u32(elf, shstrName), u32(elf, 3), u32(elf, 0), u32(elf, 0), u32(elf, namesAt), u32(elf, static_cast<quint32>(names.size()));
    u32(elf, 0), u32(elf, 0), u32(elf, 1), u32(elf, 0);
    return elf;
}

}  // namespace

// Program Chip's preparation for a 256 KB ELF for an ATmega2560: the file's part, fuses and lock
// read, the flash image read as avrdude reads it, and the whole line judged by the gate.
static void PlanAndJudge256KBElf(benchmark::State &state)
{
    const std::optional<compose::Vocabulary> recorded = RecordedWords(state);
    if (!recorded)
        return;
    const compose::Vocabulary &words = *recorded;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("whole.elf"));
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(MakeElf(256 * 1024, QByteArray::fromHex("FFD8FD"), char(0xCF), "atmega2560"));
    out.close();
    production::ProgramRequest request;
    request.elf = path;
    request.target.device = QStringLiteral("ATmega2560");
    request.target.programmer = QStringLiteral("usbasp");
    for (auto _ : state) {
        const production::ProgramPlan plan = production::PlanProgram(request, words);
        if (!plan.refusal.isEmpty() || plan.values.size() != 4) {
            state.SkipWithError(plan.refusal.isEmpty() ? "the file's fuses and lock were not found" : plan.refusal.toUtf8().constData());
            break;
        }
        const fuses::GateVerdict verdict = fuses::JudgeLine(runner::SplitCommandLine(plan.line), {}, words);
        if (!verdict.refusal.isEmpty()) {
            state.SkipWithError(verdict.refusal.toUtf8().constData());
            break;
        }
        benchmark::DoNotOptimize(verdict);
    }
}
BENCHMARK(PlanAndJudge256KBElf)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
