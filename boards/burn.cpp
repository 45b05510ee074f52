#include "boards/burn.h"

#include "compose/command_line.h"
#include "compose/quoting.h"
#include "fuses/byte_text.h"
#include "fuses/device_meanings.h"
#include "images/memory_file.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace boards {
namespace {

QString Hex(qint64 value) { return QStringLiteral("0x%1").arg(QString::number(value, 16).toUpper()); }

// The first byte of the boot section a board's fuses set: the BOOTSZ setting's start address (a
// word address, "... start address=$3F00", "... Boot address=$0E00"), in bytes. Nothing when the part's data has no BOOTSZ,
// or the board writes no such byte.
std::optional<qint64> BootStart(const QString &device, const std::array<std::optional<int>, fuses::kFuseByteCount> &values)
{
    static const QRegularExpression start(QStringLiteral("address=\\$([0-9A-Fa-f]+)"));
    const fuses::MeaningDevice *meanings = fuses::FindMeanings(device);
    if (!meanings)
        return std::nullopt;
    for (const fuses::MeaningRegister &reg : fuses::Registers(*meanings))
        for (const fuses::MeaningField &field : fuses::Fields(reg))
            if (QLatin1String(field.name) == QLatin1String("BOOTSZ") && reg.byte && values[fuses::Index(*reg.byte)])
                if (const fuses::MeaningValue *setting = fuses::SettingOf(field, static_cast<unsigned>(*values[fuses::Index(*reg.byte)])))
                    if (const auto m = start.match(QString::fromUtf8(setting->caption)); m.hasMatch())
                        return m.captured(1).toLongLong(nullptr, 16) * 2;
    return std::nullopt;
}

}  // namespace

BurnPlan PlanBurn(const Board &board, const compose::FormState &target, const compose::Vocabulary &words)
{
    BurnPlan plan;
    const compose::InstalledPart *part = words.locatePart(board.mcu);
    if (!part) {
        plan.refusal = QStringLiteral("%1 is for the part \"%2\", which the installed avrdude does not know").arg(board.name, board.mcu);
        return plan;
    }
    plan.part = part->name;
    if (const compose::InstalledProgrammer *p = words.findProgrammer(target.programmer); p && p->bootloaderOnly) {
        plan.refusal = QStringLiteral("the programmer \"%1\" is itself a bootloader on the chip: it cannot write fuses, "
                                      "the lock or a bootloader. Choose an ISP programmer")
                           .arg(target.programmer);
        return plan;
    }
    // The board's values, each one byte; an empty key writes nothing to that byte.
    std::array<std::optional<int>, fuses::kFuseByteCount> values;
    struct Key {
        const QString *text;
        fuses::FuseByte byte;
        const char *name;
    };
    // In the order the Arduino tools write them.
    const Key keys[] = {{&board.extendedFuses, fuses::FuseByte::Extended, "extended_fuses"},
                        {&board.highFuses, fuses::FuseByte::High, "high_fuses"},
                        {&board.lowFuses, fuses::FuseByte::Low, "low_fuses"}};
    for (const Key &k : keys) {
        if (k.text->isEmpty())
            continue;
        values[fuses::Index(k.byte)] = fuses::ParseByteText(*k.text);
        if (!values[fuses::Index(k.byte)]) {
            plan.refusal = QStringLiteral("%1's bootloader.%2 \"%3\" is not one byte").arg(board.name, QLatin1String(k.name), *k.text);
            return plan;
        }
        if (!part->HasMemory(QString::fromLatin1(fuses::Row(k.byte).memory))) {
            plan.refusal = QStringLiteral("%1 sets bootloader.%2, but the %3 has no %4")
                               .arg(board.name, QLatin1String(k.name), part->name, QLatin1String(fuses::Row(k.byte).memory));
            return plan;
        }
    }
    const std::optional<int> unlock = board.unlockBits.isEmpty() ? std::nullopt : fuses::ParseByteText(board.unlockBits);
    const std::optional<int> lock = board.lockBits.isEmpty() ? std::nullopt : fuses::ParseByteText(board.lockBits);
    if ((!board.unlockBits.isEmpty() && !unlock) || (!board.lockBits.isEmpty() && !lock)) {
        plan.refusal = QStringLiteral("%1's lock bits \"%2\" / \"%3\" are not bytes").arg(board.name, board.unlockBits, board.lockBits);
        return plan;
    }

    // A burn of nothing would only erase the chip.
    if (std::ranges::none_of(values, [](const auto &v) { return v.has_value(); }) && !unlock && !lock &&
        board.bootloaderFile.isEmpty()) {
        plan.refusal = QStringLiteral("%1 gives no fuse, lock or bootloader values that Fusewerk knows "
                                      "(bootloader.low_fuses, high_fuses, extended_fuses, unlock_bits, lock_bits, file)")
                           .arg(board.name);
        return plan;
    }

    // The image: there, an image avrdude reads, inside the flash and inside the boot section.
    const QString path = board.bootloaderPath();
    if (!path.isEmpty()) {
        const QString file = QFileInfo(path).fileName();
        if (!QFileInfo(path).isFile()) {
            plan.refusal = QStringLiteral("%1 names the bootloader %2, which is not installed (%3)").arg(board.name, file, path);
            return plan;
        }
        const compose::PartMemory *flash = part->Memory(u"flash");
        const qint64 size = flash ? flash->size : 0;
        const images::MemoryFile image = images::ReadForWrite(path, u'i', {QStringLiteral("flash"), size > 0 ? size : qint64(1) << 23});
        if (!image.ok()) {
            // avrdude stops at the first record past the end; the user is told where the image ends.
            qint64 last = image.reaches;
            if (const images::MemoryFile whole = images::ReadForWrite(path, u'i', {QStringLiteral("flash"), qint64(1) << 23});
                last >= 0 && whole.ok())
                for (qint64 i = whole.count - 1; i > last; --i)
                    if (whole.given[static_cast<std::size_t>(i)]) {
                        last = i;
                        break;
                    }
            plan.refusal = last >= 0 && size > 0
                               ? QStringLiteral("%1 reaches %2; the %3's flash ends at %4").arg(file, Hex(last), part->name, Hex(size - 1))
                               : QStringLiteral("%1: %2").arg(file, image.error);
            return plan;
        }
        qint64 first = 0;
        while (first < image.count && !image.given[static_cast<std::size_t>(first)])
            ++first;
        if (first >= image.count) {
            plan.refusal = QStringLiteral("%1 holds no data").arg(file);
            return plan;
        }
        if (const auto boot = BootStart(part->name, values); boot && first < *boot)
            plan.refusal = QStringLiteral("%1 starts at %2, below the boot section the board's fuses set (%3 to %4)")
                               .arg(file, Hex(first), Hex(*boot), Hex(size - 1));
        if (!plan.refusal.isEmpty())
            return plan;
    }

    // The board's clock: a crystal or clock the chip needs from then on, said once, by the board.
    if (const fuses::MeaningDevice *meanings = fuses::FindMeanings(part->name))
        for (const fuses::MeaningRegister &reg : fuses::Registers(*meanings))
            if (const fuses::MeaningField *clock = fuses::ClockField(reg); clock && reg.byte && values[fuses::Index(*reg.byte)])
                if (const fuses::MeaningValue *setting = fuses::SettingOf(*clock, static_cast<unsigned>(*values[fuses::Index(*reg.byte)]));
                    fuses::IsExternalClock(setting)) {
                    bool ok = false;
                    const double hz = QString(board.fCpu).remove(u'L').remove(u'l').toDouble(&ok);
                    plan.clockQuestion =
                        QStringLiteral("%1: %2.\n\nIts fuses select \"%3\": the %4 will then run, and can be programmed "
                                       "again, only with that crystal or clock attached.\n\nBurn the bootloader?")
                            .arg(board.name,
                                 ok ? QStringLiteral("%1 MHz crystal").arg(hz / 1e6) : QStringLiteral("an external crystal or clock"),
                                 QString::fromUtf8(setting->caption), part->name);
                }

    compose::FormState s = target;
    s.device = part->name;
    const QString start = compose::ProgramAndTarget(s, words) + compose::ExitModePieces(s);
    const auto byteOp = [](const char *memory, int value) {
        return QStringLiteral("-U %1:w:0x%2:m ").arg(QLatin1String(memory), fuses::FixedWidthText(value, 16).toUpper());
    };
    QString first = start + QStringLiteral("-e ");
    if (unlock)
        first += byteOp("lock", *unlock);
    for (const Key &k : keys)
        if (values[fuses::Index(k.byte)])
            first += byteOp(fuses::Row(k.byte).memory, *values[fuses::Index(k.byte)]);
    plan.lines << first.trimmed();
    plan.captions << (unlock ? QStringLiteral("erase, unlock and fuses") : QStringLiteral("erase and fuses"));
    QString second;
    if (!path.isEmpty())
        second += QStringLiteral("-U %1 ").arg(compose::QuoteWord(QStringLiteral("flash:w:%1:i").arg(path)));
    if (lock)
        second += byteOp("lock", *lock);
    if (!second.isEmpty()) {
        plan.lines << (start + second).trimmed();
        plan.captions << (path.isEmpty() ? QStringLiteral("lock") : lock ? QStringLiteral("bootloader and lock") : QStringLiteral("bootloader"));
    }
    return plan;
}

}  // namespace boards
