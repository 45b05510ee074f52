#include "fuses/gate.h"

#include "compose/vocabulary.h"
#include "fuses/byte_text.h"
#include "fuses/fuse_safety.h"
#include "fuses/part_fuses.h"

#include <QDir>
#include <QFileInfo>
#include <deque>

#include <sys/stat.h>

namespace fuses {
namespace {

QString Hex(qint64 value) { return QStringLiteral("0x%1").arg(QString::number(value, 16).toUpper()); }
QString ByteHex(unsigned value) { return FixedWidthText(static_cast<int>(value & 0xFF), 16).toUpper(); }

bool IsFuseOrLock(const QString &memory) { return compose::IsFuseOrLockMemory(memory); }

// Two names of one file: the same path, the same file through links, or one yet to be made in the
// same folder.
bool SameFile(const QString &a, const QString &b)
{
    const QFileInfo fa(a), fb(b);
    if (QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath()))
        return true;
    struct stat sa {}, sb {};
    const bool hasA = ::stat(QFile::encodeName(a).constData(), &sa) == 0, hasB = ::stat(QFile::encodeName(b).constData(), &sb) == 0;
    if (hasA && hasB)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    const auto placed = [](const QFileInfo &f) {
        const QString dir = QFileInfo(f.absolutePath()).canonicalFilePath();
        return dir.isEmpty() ? QString() : dir + u'/' + f.fileName();
    };
    const QString pa = placed(fa);
    return !pa.isEmpty() && pa == placed(fb);
}

// What differs in a memory's definition: "its write instruction", "its size" ...
QStringList Differences(const compose::PartMemory &mine, const compose::PartMemory &own)
{
    QStringList out;
    const auto op = [](const QString &ops, const QString &name) {
        for (const QString &one : ops.split(u';'))
            if (one.section(u':', 0, 0) == name)
                return one.section(u':', 1);
        return QString();
    };
    QStringList names;
    for (const QString &ops : {mine.ops, own.ops})
        for (const QString &one : ops.split(u';', Qt::SkipEmptyParts))
            if (!names.contains(one.section(u':', 0, 0)))
                names << one.section(u':', 0, 0);
    for (const QString &name : names)
        if (op(mine.ops, name) != op(own.ops, name))
            out << QStringLiteral("its %1 instruction").arg(name);
    if (mine.size != own.size)
        out << QStringLiteral("its size");
    if (mine.offset != own.offset)
        out << QStringLiteral("its offset");
    return out;
}

// The byte editor's byte for a one-byte memory of a classic part.
std::optional<FuseByte> EditorByte(const QString &memory)
{
    if (memory == QLatin1String("lockbits"))
        return FuseByte::Lock;
    for (const FuseByteRow &row : FuseByteTable)
        if (memory == QLatin1String(row.memory))
            return row.byte;
    return std::nullopt;
}

// Without the installed avrdude's data (it did not answer at start-up), the window's own devices
// stand in: their fuse memories by the device table, image sizes unknown.
std::optional<compose::InstalledPart> DesignPart(const QString &text)
{
    for (const compose::DeviceRow &row : compose::DeviceTable) {
        if (text.compare(QLatin1String(row.code), Qt::CaseInsensitive) != 0 &&
            text.compare(QLatin1String(row.name), Qt::CaseInsensitive) != 0)
            continue;
        compose::InstalledPart part{QString::fromLatin1(row.name), QString::fromLatin1(row.code), {}, {}, {}};
        part.memories = {{QStringLiteral("flash"), 0, 0}, {QStringLiteral("eeprom"), 0, 0}};
        for (std::size_t g = 0; g < kFuseByteCount; ++g)
            if (QLatin1String(row.fuses[g]) != QLatin1String("off"))
                part.memories.push_back({QString::fromLatin1(FuseByteTable[g].memory), 1, 0});
        part.memories.push_back({QStringLiteral("signature"), 3, 0});
        part.memories.push_back({QStringLiteral("calibration"), 1, 0});
        return part;
    }
    return std::nullopt;
}

// An unknown size (the window's own devices) reads into a buffer as large as any AVR's flash.
constexpr qint64 kUnknownSize = qint64(1) << 23;

struct Judge {
    const compose::AvrdudeArguments &args;
    const LastReads &lastReads;
    const compose::InstalledPart *part;
    const compose::InstalledPart *installed;  // the part as the installed avrdude describes it, if it does
    QString device;  // the name the layouts know it by
    QString named;   // the part as the user is told
    OwnFuses own;    // the part's own fuses, when it has them
    bool clockConfirmed = false;
    GateVerdict verdict;

    void ByteWrite(const images::MemoryFile &file, const compose::PartMemory &memory);
    void OwnWrite(const images::MemoryFile &file, const compose::PartMemory &memory);
    void SectionWrite(const FuseSection &section, std::optional<std::uint32_t> value, const QString &gap);
    QString OldText(const QString &memory, std::optional<unsigned> *old) const;
    void ImageWrite(const compose::UpdateOperation &u, const images::MemoryFile &file, const compose::PartMemory &memory);
    void Judged(const QString &memory, unsigned value) { verdict.bytes.push_back({memory, value & 0xFF}); }
    void Ask(const QString &value, const QString &what, const QStringList &risks, const QString &oldText)
    {
        verdict.questions << QStringLiteral("Writing %1 to the %2 of the %3 cannot easily be undone:\n\n%4\n\n"
                                            "Value as last read: %5\nNew value: %1")
                                 .arg(value, what, named, risks.join(QStringLiteral("\n\n")), oldText);
    }
};

void Judge::ByteWrite(const images::MemoryFile &file, const compose::PartMemory &memory)
{
    if (!file.ok()) {
        const std::optional<FuseByte> byte = EditorByte(memory.name);
        Ask(QStringLiteral("?"), byte ? QString::fromLatin1(Row(*byte).what) : memory.name, {QStringLiteral("The value cannot be checked: %1.").arg(file.error)}, QStringLiteral("not read"));
        return;
    }
    if (own.any()) {
        OwnWrite(file, memory);
        return;
    }
    for (qint64 i = 0; i < file.count; ++i) {
        if (!file.given[static_cast<std::size_t>(i)])
            continue;  // avrdude writes only the bytes a file gives to a memory of single bytes
        const unsigned value = static_cast<unsigned char>(file.bytes[i]);
        // A byte of a memory of several (fuses, a four-byte lock) is the one-byte memory at its offset.
        QString target = memory.name;
        bool single = memory.size <= 1;
        if (memory.size > 1) {
            target = QStringLiteral("byte %1 of %2").arg(i).arg(memory.name);
            for (const compose::PartMemory &m : part->memories)
                if (m.size == 1 && m.offset == memory.offset + i && IsFuseOrLock(m.name)) {
                    target = m.name;
                    single = true;
                }
        }
        if (single)
            Judged(target, value);
        const std::optional<FuseByte> byte = EditorByte(target);
        const QString what = byte ? QString::fromLatin1(Row(*byte).what) : target;
        std::optional<unsigned> old;
        QString oldText = QStringLiteral("not read");
        if (byte)
            oldText = OldText(QString::fromLatin1(Row(*byte).memory), &old);
        QStringList risks;
        if (!byte || !HasBitNames(device, installed, *byte))
            risks << QStringLiteral("Fusewerk has no bit names for %1 (%2): the value cannot be checked.").arg(named, target);
        else
            risks = WriteRisks(device, installed, *byte, old, value, clockConfirmed);
        if (!risks.isEmpty())
            Ask(ByteHex(value), what, risks, oldText);
    }
}

QString Judge::OldText(const QString &memory, std::optional<unsigned> *old) const
{
    const LastRead last = lastReads.value(memory);
    if (last.value && last.part == part->name) {
        *old = last.value;
        return ByteHex(*last.value);
    }
    if (last.value)
        return QStringLiteral("not read from the %1 (the last read was from the %2)").arg(part->name, last.part);
    return QStringLiteral("not read");
}

// A write to a part's own fuses: a memory that is one of them, or the bytes of a memory spanning
// several ("fuses"), each judged as the one at its offset.
void Judge::OwnWrite(const images::MemoryFile &file, const compose::PartMemory &memory)
{
    const auto given = [&](qint64 i) { return i < file.count && file.given[static_cast<std::size_t>(i)]; };
    if (const FuseSection *section = own.section(memory.name)) {
        std::uint32_t value = 0;
        int count = 0;
        for (int i = 0; i < section->size; ++i)
            if (given(i)) {
                value |= std::uint32_t(static_cast<unsigned char>(file.bytes[i])) << (8 * i);
                ++count;
            }
        if (count == 0)
            return;  // avrdude writes nothing
        if (count < section->size)
            SectionWrite(*section, std::nullopt,
                         QStringLiteral("the line gives %1 of its %2 bytes, so what the others hold is not known")
                             .arg(count)
                             .arg(section->size));
        else
            SectionWrite(*section, value, {});
        if (section->size == 1 && count == 1)
            Judged(section->memory, value);
        return;
    }
    for (qint64 i = 0; i < file.count; ++i) {
        if (!given(i))
            continue;
        const FuseSection *at = nullptr;
        for (const FuseSection &s : own.sections)
            if (const compose::PartMemory *m = part->Memory(s.memory); m && s.size == 1 && m->offset == memory.offset + i)
                at = &s;
        const unsigned value = static_cast<unsigned char>(file.bytes[i]);
        if (at) {
            Judged(at->memory, value);
            SectionWrite(*at, value, {});
        }
        else
            Ask(ByteHex(value), QStringLiteral("byte %1 of %2").arg(i).arg(memory.name),
                {QStringLiteral("Fusewerk knows no fuse of the %1 at that place: the value cannot be checked.").arg(named)},
                QStringLiteral("not read"));
    }
}

void Judge::SectionWrite(const FuseSection &section, std::optional<std::uint32_t> value, const QString &gap)
{
    std::optional<unsigned> old;
    const QString oldText = OldText(section.memory, &old);
    const QString oldShown = old ? section.hexText(*old) : oldText;
    const QString shown = value ? section.hexText(*value) : QStringLiteral("?");
    QStringList risks;
    if (!value)
        risks << QStringLiteral("The value cannot be checked: %1.").arg(gap);
    else if (!section.reg)
        risks << QStringLiteral("Fusewerk has no descriptions of the %1's %2: the value cannot be checked.")
                     .arg(named, section.name());
    else
        risks = OwnFuseRisks(section, old, *value);
    if (!risks.isEmpty())
        Ask(shown, section.name(), risks, oldShown);
}

void Judge::ImageWrite(const compose::UpdateOperation &u, const images::MemoryFile &file, const compose::PartMemory &memory)
{
    const bool sized = memory.size > 0;
    if (file.ok() || !verdict.refusal.isEmpty())
        return;
    if (file.reaches >= 0 && sized)
        verdict.refusal = QStringLiteral("%1 reaches %2; the %3's %4 ends at %5")
                              .arg(QFileInfo(u.file).fileName(), Hex(file.reaches), named, memory.name, Hex(memory.size - 1));
    else
        verdict.refusal = file.error;
}

}  // namespace

std::optional<compose::InstalledPart> LinePart(const compose::AvrdudeArguments &args, const compose::Vocabulary &words)
{
    if (!args.hasPart)
        return std::nullopt;
    if (!words.knowsParts())
        return DesignPart(args.part);
    if (const compose::InstalledPart *part = words.locatePart(args.part))
        return *part;
    return std::nullopt;
}

QString DeviceName(const compose::InstalledPart &part, const compose::Vocabulary &words)
{
    const QString name = words.partName(part.code);
    return name.isEmpty() ? part.name : name;
}

GateVerdict JudgeLine(const QStringList &line, const LastReads &lastReads, const compose::Vocabulary &words,
                      bool clockConfirmed)
{
    LineContext context;
    context.clockConfirmed = clockConfirmed;
    return JudgeLine(line, lastReads, words, context);
}

GateVerdict JudgeLine(const QStringList &line, const LastReads &lastReads, const compose::Vocabulary &words,
                      const LineContext &context)
{
    const compose::AvrdudeArguments args = compose::ParseAvrdudeArguments(line);
    const std::optional<compose::InstalledPart> found = LinePart(args, words);
    const compose::InstalledPart *part = found ? &*found : nullptr;
    // Without the installed avrdude's data, the fuse layouts know the part from the device table.
    const compose::InstalledPart *installed = words.knowsParts() ? part : nullptr;
    Judge judge{args, lastReads, part, installed, part ? DeviceName(*part, words) : QString(),
                part ? DeviceName(*part, words)
                     : args.hasPart ? QStringLiteral("part \"%1\"").arg(args.part) : QStringLiteral("part of a line without -p"),
                {}, false, {}};
    judge.own = PartOwnFuses(judge.device, installed);
    judge.clockConfirmed = context.clockConfirmed;
    GateVerdict &verdict = judge.verdict;
    verdict.args = args;
    const QStringList writes = args.Writes();

    for (const QString &problem : args.problems)
        verdict.questions << QStringLiteral("avrdude 7.1 does not take this line as it stands: %1. Fusewerk cannot tell "
                                            "what it would do to the chip.")
                                 .arg(problem);
    if (!context.configKnown && !args.configs.isEmpty() && !writes.isEmpty())
        verdict.questions << QStringLiteral("The line has avrdude read the configuration %1 (-C): its parts and memories "
                                            "may differ from the installed avrdude's, so Fusewerk cannot judge %2.")
                                 .arg(args.configs.join(QStringLiteral(", ")), writes.join(QStringLiteral(", ")));
    if (!context.configProblem.isEmpty() && !writes.isEmpty())
        verdict.questions << QStringLiteral("%1, so Fusewerk cannot judge %2.")
                                 .arg(context.configProblem, writes.join(QStringLiteral(", ")));

    // The part as avrdude's own configuration has it, without the user's files.
    const std::optional<compose::InstalledPart> own =
        part && context.baseline && !context.userFiles.isEmpty() ? LinePart(args, *context.baseline) : std::nullopt;
    const QString userFiles = context.userFiles.join(QStringLiteral(", "));
    QStringList redefinedAsked;
    bool signatureAsked = false, partAsked = false;

    for (std::size_t k = 0; k < args.updates.size(); ++k) {
        const compose::UpdateOperation &u = args.updates[k];
        if (u.op != u'w' || !u.error.isEmpty())
            continue;
        const QString memoryName = u.memory.isEmpty() ? QStringLiteral("flash") : u.memory;
        if (!part) {
            verdict.questions << (args.hasPart ? QStringLiteral("Fusewerk has no bit names for %1: the value cannot be "
                                                                "checked. The installed avrdude lists no such part, so "
                                                                "neither its memories nor -U %2 can be judged.")
                                                     .arg(judge.named, u.argument)
                                               : QStringLiteral("The line names no part (-p), so Fusewerk has no bit "
                                                                "names for it and cannot judge -U %1.")
                                                     .arg(u.argument));
            continue;
        }
        const compose::PartMemory *memory = compose::LocateMemory(*part, memoryName);
        if (!memory) {
            // avrdude skips it with a warning, as far as its part data goes; a name read otherwise
            // could write anything.
            if (!args.noWrite)
                verdict.questions << QStringLiteral("The %1 has no memory that \"%2\" names alone (none, or several "
                                                    "start with it): Fusewerk cannot judge -U %3.")
                                         .arg(judge.named, memoryName, u.argument);
            continue;
        }
        const bool fuseOrLock = IsFuseOrLock(memory->name);
        if (fuseOrLock && args.noWrite)
            continue;  // -n: avrdude writes nothing

        // A file the line itself writes before this operation reads it: its log (opened at the start)
        // or an earlier read's output.
        QString writtenBy;
        if (u.format != u'm' && u.file != QLatin1String("-")) {
            if (args.hasLog && SameFile(args.logFile, u.file))
                writtenBy = QStringLiteral("its log, -l %1").arg(args.logFile);
            for (std::size_t e = 0; e < k && writtenBy.isEmpty(); ++e) {
                const compose::UpdateOperation &earlier = args.updates[e];
                if (earlier.op == u'r' && earlier.error.isEmpty() && earlier.file != QLatin1String("-") && SameFile(earlier.file, u.file))
                    writtenBy = QStringLiteral("-U %1").arg(earlier.argument);
            }
        }
        if (!writtenBy.isEmpty()) {
            verdict.files.push_back({k, {}, true});
            if (fuseOrLock)
                verdict.questions << QStringLiteral("The line writes %1 itself (%2) before -U %3 writes it to the %4 of the "
                                                    "%5: Fusewerk cannot judge what that file will hold by then.")
                                         .arg(QFileInfo(u.file).fileName(), writtenBy, u.argument, memory->name, judge.named);
            continue;  // an image the run makes is avrdude's to read
        }

        const qint64 size = fuseOrLock ? std::max<qint64>(memory->size, 1) : memory->size > 0 ? memory->size : kUnknownSize;
        const images::MemoryFile file = images::ReadForWrite(u.file, u.format, {memory->name, size});
        verdict.files.push_back({k, file, false});
        if (!fuseOrLock) {
            judge.ImageWrite(u, file, *memory);
            continue;
        }
        if (args.overrideSignature && !signatureAsked) {
            signatureAsked = true;
            verdict.questions << QStringLiteral("The line overrides avrdude's check of the chip's signature (-F): the "
                                                "chip present may be another part than the %1, for which the same fuse "
                                                "or lock value can mean something else entirely (a reset pin turned "
                                                "into an I/O pin, serial programming off). Fusewerk cannot judge %2 for it.")
                                         .arg(judge.named, writes.join(QStringLiteral(", ")));
        }
        if (context.baseline && !context.userFiles.isEmpty()) {
            if (!own && !partAsked) {
                partAsked = true;
                verdict.questions << QStringLiteral("The %1 is defined by the configuration %2, not by avrdude's own: "
                                                    "Fusewerk cannot tell which byte of the chip -U %3 will write.")
                                         .arg(judge.named, userFiles, u.argument);
            } else if (own && !redefinedAsked.contains(memory->name)) {
                const compose::PartMemory *mine = own->Memory(memory->name);
                const QStringList differs = mine ? Differences(*memory, *mine) : QStringList{QStringLiteral("the memory itself")};
                if (!differs.isEmpty()) {
                    redefinedAsked << memory->name;
                    verdict.questions << QStringLiteral("The configuration %1 defines the %2's %3 otherwise than "
                                                        "avrdude's own (%4): Fusewerk cannot tell which byte of the "
                                                        "chip -U %5 will write.")
                                             .arg(userFiles, judge.named, memory->name,
                                                  differs.join(QStringLiteral(", ")), u.argument);
                }
            }
        }
        judge.ByteWrite(file, *memory);
    }
    return verdict;
}

}  // namespace fuses
