// The one gate every run passes before it starts, whichever button started it: the command line that
// will run is read as avrdude reads it, each fuse or lock write is judged by the guard against the
// line's own part, and each flash or EEPROM image is checked before anything can erase the chip.
#include "app/form1.h"
#include "app/messages.h"
#include "compose/installed.h"
#include "compose/vocabulary.h"
#include "fuses/byte_text.h"
#include "fuses/fuse_safety.h"
#include "fuses/run_check.h"
#include "runner/command_split.h"

#include <QFileInfo>

namespace {

QString Hex(qint64 value) { return QStringLiteral("0x%1").arg(QString::number(value, 16).toUpper()); }

}  // namespace

bool TForm1::PassesGate(const QString &line)
{
    const fuses::LineOperations ops = fuses::FindOperations(runner::SplitCommandLine(line));
    const QString device = compose::LookupPartName(ops.part);
    const QString named = !device.isEmpty()      ? device
                          : ops.part.isEmpty() ? QStringLiteral("part of a line without -p")
                                               : QStringLiteral("part \"%1\"").arg(ops.part);

    // Images: they must parse and fit, or the chip would be erased for nothing.
    const compose::InstalledPart *part = compose::FindInstalledPart(device);
    for (const fuses::ImageWrite &image : ops.imageWrites) {
        const fuses::ImageExtent extent = fuses::ReadImageExtent(image.file, image.format, image.memory);
        QString problem = extent.error;
        const qint64 size = part ? part->sizes.value(image.memory, -1) : -1;
        if (problem.isEmpty() && size > 0 && extent.highest >= size)
            problem = QStringLiteral("%1 reaches %2; the %3's %4 ends at %5")
                          .arg(QFileInfo(image.file).fileName(), Hex(extent.highest), device, image.memory, Hex(size - 1));
        if (!problem.isEmpty()) {
            ShowMessage(this, MessageKind::Warning, QStringLiteral("Nothing was run: %1.").arg(problem));
            return false;
        }
    }

    // Fuse and lock writes: the guard's question, Cancel the default.
    for (const fuses::ByteWrite &write : ops.byteWrites) {
        const QString what = write.byte ? QString::fromLatin1(fuses::Row(*write.byte).what) : write.memory;
        const QString value = write.value ? fuses::FixedWidthText(static_cast<int>(*write.value), 16).toUpper()
                                          : QStringLiteral("?");
        std::optional<unsigned> old;
        QString oldText = QStringLiteral("not read");
        if (write.byte) {
            const std::size_t i = fuses::Index(*write.byte);
            if (!lastRead_[i].isEmpty() && lastReadDevice_[i] == device) {
                old = lastRead_[i].toUInt(nullptr, 16);
                oldText = lastRead_[i];
            }
        }
        QStringList risks;
        if (!write.value)
            risks << QStringLiteral("The value cannot be checked: %1.").arg(write.why);
        else if (!write.byte || !fuses::HasBitNames(device, *write.byte))
            risks << QStringLiteral("Fusewerk has no bit names for %1: the value cannot be checked.").arg(named);
        else
            risks = fuses::WriteRisks(device, *write.byte, old, *write.value);
        if (risks.isEmpty())
            continue;
        const QString question =
            QStringLiteral("Writing %1 to the %2 of the %3 cannot easily be undone:\n\n%4\n\nValue as last read: %5\n"
                           "New value: %1")
                .arg(value, what, named, risks.join(QStringLiteral("\n\n")), oldText);
        if (!AskQuestion(this, question, QStringLiteral("Write anyway"), QStringLiteral("Cancel")))
            return false;
    }
    return true;
}

bool TForm1::ThroughBootloader(const QString &action)
{
    const compose::InstalledProgrammer *programmer = compose::FindInstalledProgrammer(programmerBox->Text());
    if (!programmer || !programmer->bootloaderOnly)
        return false;
    ShowMessage(this, MessageKind::Warning,
                QStringLiteral("The programmer \"%1\" reaches the chip through its bootloader, which cannot %2 fuse, "
                               "lock or calibration bytes: nothing was run.")
                    .arg(programmerBox->Text(), action));
    return true;
}
