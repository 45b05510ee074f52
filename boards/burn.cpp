#include "boards/burn.h"

#include "compose/avrdude_args.h"
#include "compose/command_line.h"
#include "compose/quoting.h"
#include "fuses/byte_text.h"
#include "fuses/device_meanings.h"
#include "images/memory_file.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>

namespace boards {
namespace {

QString Hex(qint64 value) { return QStringLiteral("0x%1").arg(QString::number(value, 16).toUpper()); }

bool SameFile(const QString &a, const QString &b)
{
    struct stat sa {}, sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

using FuseValues = std::array<std::optional<int>, fuses::kFuseByteCount>;

// The first byte of the boot section the reset jumps to: with BOOTRST programmed, the BOOTSZ
// setting's start address ("... start address=$3F00"), in bytes. Nothing when BOOTRST is
// unprogrammed (the bootloader is reached through the reset vector, wherever it stands), the part's
// data has no BOOTSZ, or the board writes no such byte.
std::optional<qint64> BootStart(const QString &device, const FuseValues &values)
{
    static const QRegularExpression start(QStringLiteral("address=\\$([0-9A-Fa-f]+)"));
    const fuses::MeaningDevice *meanings = fuses::FindMeanings(device);
    if (!meanings)
        return std::nullopt;
    std::optional<qint64> out;
    bool resetThere = false;
    for (const fuses::MeaningRegister &reg : fuses::Registers(*meanings)) {
        if (!reg.byte || !values[fuses::Index(*reg.byte)])
            continue;
        const unsigned value = static_cast<unsigned>(*values[fuses::Index(*reg.byte)]);
        for (const fuses::MeaningField &field : fuses::Fields(reg)) {
            if (QLatin1String(field.name) == QLatin1String("BOOTRST"))
                resetThere = fuses::FieldBits(field, value) == 0;
            if (QLatin1String(field.name) == QLatin1String("BOOTSZ"))
                if (const fuses::MeaningValue *setting = fuses::SettingOf(field, value))
                    if (const auto m = start.match(QString::fromUtf8(setting->caption)); m.hasMatch())
                        out = m.captured(1).toLongLong(nullptr, 16) * 2;
        }
    }
    return resetThere ? out : std::nullopt;
}

// The image a burn writes: there, read as avrdude reads it, inside the flash and, where the reset
// jumps to the boot section, inside it. A refusal, or nothing.
QString ImageRefusal(const QString &path, const compose::InstalledPart &part, const FuseValues &values, const QString &board)
{
    const QString file = QFileInfo(path).fileName();
    if (!QFileInfo(path).isFile())
        return QStringLiteral("%1 names the bootloader %2, which is not installed (%3)").arg(board, file, path);
    const compose::PartMemory *flash = part.Memory(u"flash");
    const qint64 size = flash ? flash->size : 0;
    const images::MemoryFile image = images::ReadForWrite(path, u'a', {QStringLiteral("flash"), size > 0 ? size : qint64(1) << 23});
    if (!image.ok()) {
        // avrdude stops at the first record past the end; the user is told where the image ends.
        qint64 last = image.reaches;
        if (const images::MemoryFile whole = images::ReadForWrite(path, u'a', {QStringLiteral("flash"), qint64(1) << 23});
            last >= 0 && whole.ok())
            for (qint64 i = whole.count - 1; i > last; --i)
                if (whole.given[static_cast<std::size_t>(i)]) {
                    last = i;
                    break;
                }
        return last >= 0 && size > 0 ? QStringLiteral("%1 reaches %2; the %3's flash ends at %4").arg(file, Hex(last), part.name, Hex(size - 1))
                                     : QStringLiteral("%1: %2").arg(file, image.error);
    }
    qint64 first = 0;
    while (first < image.count && !image.given[static_cast<std::size_t>(first)])
        ++first;
    if (first < image.count)  // an empty image ("No bootloader") writes nothing, and is none of this
        if (const auto boot = BootStart(part.name, values); boot && first < *boot)
            return QStringLiteral("%1 starts at %2, below the boot section the board's fuses set (%3 to %4)")
                .arg(file, Hex(first), Hex(*boot), Hex(size - 1));
    return {};
}

// The board's clock: a crystal or clock the chip needs from then on, said once, by the board.
QString ClockQuestion(const compose::InstalledPart &part, const FuseValues &values, const QString &board, const QString &fCpu)
{
    if (const fuses::MeaningDevice *meanings = fuses::FindMeanings(part.name))
        for (const fuses::MeaningRegister &reg : fuses::Registers(*meanings))
            if (const fuses::MeaningField *clock = fuses::ClockField(reg); clock && reg.byte && values[fuses::Index(*reg.byte)])
                if (const fuses::MeaningValue *setting = fuses::SettingOf(*clock, static_cast<unsigned>(*values[fuses::Index(*reg.byte)]));
                    fuses::IsExternalClock(setting)) {
                    bool ok = false;
                    const double hz = QString(fCpu).remove(u'L').remove(u'l').toDouble(&ok);
                    return QStringLiteral("%1: %2.\n\nIts fuses select \"%3\": the %4 will then run, and can be programmed "
                                          "again, only with that crystal or clock attached.\n\nBurn the bootloader?")
                        .arg(board, ok ? QStringLiteral("%1 MHz crystal").arg(hz / 1e6) : QStringLiteral("an external crystal or clock"),
                             QString::fromUtf8(setting->caption), part.name);
                }
    return {};
}

// The classic fuse bytes a burn's lines write.
FuseValues ClassicValues(const std::vector<QStringList> &lines)
{
    FuseValues values;
    const QHash<QString, QByteArray> written = BurnValues(lines);
    for (const fuses::FuseByteRow &row : fuses::FuseByteTable)
        if (const QByteArray v = written.value(QString::fromLatin1(row.memory)); v.size() == 1)
            values[fuses::Index(row.byte)] = static_cast<quint8>(v[0]);
    return values;
}

// The core's recipe: each pattern expanded with the board's, the tool's and the programmer's
// properties and split as the IDE splits it; then avrdude's own words for what the IDE's avrdude
// would be given, and what avrdude would skip left out.
void PlanRecipe(const Board &board, const Options &options, const Properties &tool, const compose::FormState &target,
                const compose::Vocabulary &words, const compose::InstalledPart *part, BurnPlan &plan)
{
    Properties p = board.properties(options);
    p.merge(tool);
    // The programmer is the window's: its avrdude id, port and exit modes; the tool is the installed avrdude.
    QStringList extra;
    if (!target.port.isEmpty())
        extra << QStringLiteral("-P") + target.port;
    const QString exits = compose::ExitModePieces(target).trimmed();
    if (!exits.isEmpty())
        extra << exits;
    p.set(QStringLiteral("protocol"), target.programmer);
    p.set(QStringLiteral("program.protocol"), target.programmer);
    p.set(QStringLiteral("program.extra_params"), extra.join(u' '));
    p.set(QStringLiteral("serial.port"), target.port);
    p.set(QStringLiteral("cmd.path"), QStringLiteral("avrdude.exe"));
    p.set(QStringLiteral("cmd"), QStringLiteral("avrdude.exe"));
    const QString loudness = target.options.verbose ? QStringLiteral("verbose") : QStringLiteral("quiet");
    for (const char *step : {"erase", "bootloader", "program", "upload"})
        p.set(QLatin1String(step) + QStringLiteral(".verbose"), p.value(QLatin1String(step) + QStringLiteral(".params.") + loudness));

    const QString label = board.label(options);
    const QString ownConfig = words.installed().systemConfig;
    for (const char *step : {"erase", "bootloader"}) {
        const QString pattern = p.value(QLatin1String(step) + QStringLiteral(".pattern"));
        const Properties::Expansion e = p.expand(pattern);
        if (!e.ok()) {
            plan.refusal = QStringLiteral("%1: the core's %2 recipe cannot be read: %3").arg(label, QLatin1String(step), e.error);
            return;
        }
        const QStringList said = SplitRecipe(e.text);
        QStringList line{QStringLiteral("avrdude.exe")};
        for (qsizetype i = 1; i < said.size(); ++i) {
            QString word = said[i];
            // -C: a configuration the core brings along goes on the line; the IDE's own avrdude's
            // (not installed here), or the installed avrdude's own file, does not.
            if (word.startsWith(QLatin1String("-C"))) {
                const QString path = word.size() > 2 ? word.mid(2) : i + 1 < said.size() ? said[++i] : QString();
                const bool plus = path.startsWith(u'+');
                const QString file = plus ? path.mid(1) : path;
                if (file.contains(u'{') || !QFileInfo(file).isFile() || (!ownConfig.isEmpty() && SameFile(file, ownConfig)))
                    continue;
                line << QStringLiteral("-C") + path;
                continue;
            }
            // -U: one for a memory the part lacks is skipped by avrdude, and so is left out here;
            // one without a value writes nothing.
            if (word.startsWith(QLatin1String("-U"))) {
                const QString argument = word.size() > 2 ? word.mid(2) : i + 1 < said.size() ? said[++i] : QString();
                const compose::UpdateOperation u = compose::ParseUpdate(argument);
                if (part && u.error.isEmpty() && !compose::LocateMemory(*part, u.memory.isEmpty() ? QStringLiteral("flash") : u.memory))
                    continue;
                if (u.format == u'm' && u.file.trimmed().isEmpty())
                    continue;
                word = QStringLiteral("-U") + argument;
            }
            static const QRegularExpression reference(QStringLiteral("\\{([^{}\\s]+)\\}"));
            if (const auto m = reference.match(word); m.hasMatch()) {
                plan.refusal = QStringLiteral("%1: the core's %2 recipe needs {%3}, which the board with these options does not give")
                                   .arg(label, QLatin1String(step), m.captured(1));
                return;
            }
            line << word;
        }
        plan.words.push_back(line);
        plan.captions << (QLatin1String(step) == QLatin1String("erase") ? QStringLiteral("erase and fuses")
                                                                        : QStringLiteral("bootloader and lock"));
    }
}

// The two lines the Arduino tools have always run, for a core that gives no recipe of its own.
void PlanClassic(const Setting &s, const Board &board, const Options &options, const compose::FormState &target,
                 const compose::Vocabulary &words, const compose::InstalledPart &part, BurnPlan &plan)
{
    const QString label = board.label(options);
    struct Key {
        const QString *text;
        const char *memory, *name;
    };
    // In the order the Arduino tools write them.
    const Key keys[] = {{&s.extendedFuses, "efuse", "extended_fuses"}, {&s.highFuses, "hfuse", "high_fuses"}, {&s.lowFuses, "lfuse", "low_fuses"}};
    QStringList fuses;
    for (const Key &k : keys) {
        if (k.text->isEmpty())
            continue;
        const std::optional<unsigned> value = BoardByte(*k.text);
        if (static const QRegularExpression reference(QStringLiteral("\\{([^{}\\s]+)\\}")); reference.match(*k.text).hasMatch()) {
            plan.refusal = QStringLiteral("%1's bootloader.%2 needs {%3}, which the board with these options does not give")
                               .arg(label, QLatin1String(k.name), reference.match(*k.text).captured(1));
            return;
        }
        if (!value) {
            plan.refusal = QStringLiteral("%1's bootloader.%2 \"%3\" is not one byte").arg(label, QLatin1String(k.name), *k.text);
            return;
        }
        if (!part.HasMemory(QString::fromLatin1(k.memory))) {
            plan.refusal = QStringLiteral("%1 sets bootloader.%2, but the %3 has no %4").arg(label, QLatin1String(k.name), part.name, QLatin1String(k.memory));
            return;
        }
        fuses << QStringLiteral("-U") << QStringLiteral("%1:w:0x%2:m").arg(QLatin1String(k.memory), fuses::FixedWidthText(static_cast<int>(*value), 16).toUpper());
    }
    const std::optional<unsigned> unlock = s.unlockBits.isEmpty() ? std::nullopt : BoardByte(s.unlockBits);
    const std::optional<unsigned> lock = s.lockBits.isEmpty() ? std::nullopt : BoardByte(s.lockBits);
    if ((!s.unlockBits.isEmpty() && !unlock) || (!s.lockBits.isEmpty() && !lock)) {
        plan.refusal = QStringLiteral("%1's lock bits \"%2\" / \"%3\" are not bytes").arg(label, s.unlockBits, s.lockBits);
        return;
    }
    // A burn of nothing would only erase the chip.
    if (fuses.isEmpty() && !unlock && !lock && s.bootloaderFile.isEmpty()) {
        plan.refusal = QStringLiteral("%1 gives no fuse, lock or bootloader values that Fusewerk knows "
                                      "(bootloader.low_fuses, high_fuses, extended_fuses, unlock_bits, lock_bits, file)")
                           .arg(label);
        return;
    }
    compose::FormState t = target;
    t.device = part.name;
    QStringList start{QStringLiteral("avrdude.exe"), QStringLiteral("-p"), words.partCode(part.name)};
    if (!t.programmer.isEmpty())
        start << QStringLiteral("-c") << t.programmer;
    if (!t.port.isEmpty())
        start << QStringLiteral("-P") << t.port;
    start += compose::ExitModePieces(t).split(u' ', Qt::SkipEmptyParts);
    const auto lockOp = [](unsigned value) { return QStringLiteral("lock:w:0x%1:m").arg(fuses::FixedWidthText(static_cast<int>(value), 16).toUpper()); };
    QStringList first = start + QStringList{QStringLiteral("-e")};
    if (unlock)
        first << QStringLiteral("-U") << lockOp(*unlock);
    first += fuses;
    plan.words.push_back(first);
    plan.captions << (unlock ? QStringLiteral("erase, unlock and fuses") : QStringLiteral("erase and fuses"));
    const QString path = s.bootloaderFile.isEmpty() ? QString() : board.core->folder + QStringLiteral("/bootloaders/") + s.bootloaderFile;
    QStringList second;
    if (!path.isEmpty())
        second << QStringLiteral("-U") << QStringLiteral("flash:w:%1:i").arg(path);
    if (lock)
        second << QStringLiteral("-U") << lockOp(*lock);
    if (!second.isEmpty()) {
        plan.words.push_back(start + second);
        plan.captions << (path.isEmpty() ? QStringLiteral("lock") : lock ? QStringLiteral("bootloader and lock") : QStringLiteral("bootloader"));
    }
}

}  // namespace

std::optional<unsigned> BoardByte(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    unsigned value = 0;
    if (t.startsWith(QLatin1String("0b"), Qt::CaseInsensitive))
        value = t.mid(2).toUInt(&ok, 2);
    else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        value = t.mid(2).toUInt(&ok, 16);
    else if (t.size() > 1 && t.startsWith(u'0'))
        value = t.mid(1).toUInt(&ok, 8);
    else
        value = t.toUInt(&ok, 10);
    return ok && value <= 0xFF ? std::optional<unsigned>(value) : std::nullopt;
}

QHash<QString, QByteArray> BurnValues(const std::vector<QStringList> &lines)
{
    QHash<QString, QByteArray> out;
    for (const QStringList &line : lines) {
        const compose::AvrdudeArguments args = compose::ParseAvrdudeArguments(line);
        for (const compose::UpdateOperation &u : args.updates) {
            if (u.op != u'w' || u.format != u'm' || !compose::IsFuseOrLockMemory(u.memory))
                continue;
            const images::MemoryFile file = images::ReadForWrite(u.file, u'm', {u.memory, 16});
            if (file.ok() && file.count > 0)
                out.insert(u.memory, file.bytes.left(file.count));
        }
    }
    return out;
}

BurnPlan PlanBurn(const Board &board, const Options &chosen, const compose::FormState &target, const compose::Vocabulary &words)
{
    BurnPlan plan;
    const Options options = board.withDefaults(chosen);
    plan.board = board.label(options);
    const Setting s = Settle(board, options);
    if (!s.error.isEmpty()) {
        plan.refusal = s.error;
        return plan;
    }
    if (const compose::InstalledProgrammer *p = words.findProgrammer(target.programmer); p && p->bootloaderOnly) {
        plan.refusal = QStringLiteral("the programmer \"%1\" is itself a bootloader on the chip: it cannot write fuses, "
                                      "the lock or a bootloader. Choose an ISP programmer")
                           .arg(target.programmer);
        return plan;
    }
    const compose::InstalledPart *part = words.locatePart(s.mcu);
    plan.part = part ? part->name : s.mcu;

    // The core's own recipe, where it has one for the board's bootloader tool.
    const Properties props = board.properties(options);
    QString tool = props.expand(props.value(QStringLiteral("bootloader.tool"))).text.trimmed();
    if (tool.isEmpty())
        tool = QStringLiteral("avrdude");
    const Properties toolKeys = props.subTree(QStringLiteral("tools.%1.").arg(tool));
    plan.recipe = toolKeys.contains(QStringLiteral("erase.pattern")) && toolKeys.contains(QStringLiteral("bootloader.pattern"));
    if (plan.recipe) {
        PlanRecipe(board, options, toolKeys, target, words, part, plan);
    } else if (!part) {
        plan.refusal = QStringLiteral("%1 is for the part \"%2\", which the installed avrdude does not know").arg(plan.board, s.mcu);
        return plan;
    } else {
        PlanClassic(s, board, options, target, words, *part, plan);
    }
    if (!plan.refusal.isEmpty() || plan.words.empty())
        return plan;
    for (const QStringList &line : plan.words) {
        QStringList quoted;
        for (const QString &w : line)
            quoted << compose::QuoteWord(w);
        plan.lines << quoted.join(u' ');
    }
    if (!part) {
        // Only the core's configuration knows the part: the gate judges the lines by it.
        const compose::AvrdudeArguments first = compose::ParseAvrdudeArguments(plan.words.front());
        if (first.configs.isEmpty())
            plan.refusal = QStringLiteral("%1 is for the part \"%2\", which the installed avrdude does not know").arg(plan.board, s.mcu);
        return plan;
    }

    // The image each line writes to the flash, and the clock the fuses select.
    const FuseValues values = ClassicValues(plan.words);
    for (const QStringList &line : plan.words)
        for (const compose::UpdateOperation &u : compose::ParseAvrdudeArguments(line).updates)
            if (u.op == u'w' && u.format != u'm' && (u.memory.isEmpty() || compose::LocateMemory(*part, u.memory) == part->Memory(u"flash")))
                if (const QString why = ImageRefusal(u.file, *part, values, plan.board); !why.isEmpty()) {
                    plan.refusal = why;
                    return plan;
                }
    plan.clockQuestion = ClockQuestion(*part, values, plan.board, s.fCpu);
    return plan;
}

}  // namespace boards
