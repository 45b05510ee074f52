// The Read and Write buttons of the byte editors, the calibration and the signature: one run of the
// tool each, whose value is taken when the run has ended.
#include "app/form1.h"
#include "app/messages.h"
#include "compose/installed.h"
#include "fuses/byte_commands.h"
#include "fuses/byte_text.h"
#include "fuses/fuse_safety.h"
#include "compose/vocabulary.h"
#include "runner/command_split.h"
#include "runner/outcome.h"

using fuses::FuseByte;

void TForm1::BuildReadCommand(QLineEdit *target, const QString &operation)
{
    target->setText(fuses::BuildReadCommand(Snapshot(), operation));
}

void TForm1::BuildWriteCommand(QLineEdit *target) { target->setText(fuses::BuildWriteCommand(Snapshot())); }

void TForm1::ReportNoValue(const QString &what)
{
    // A read that found nothing changes nothing: a made-up 00 could be written back to the chip.
    ShowMessage(this, MessageKind::Warning, QStringLiteral("No value found in the output of the %1 read.").arg(what));
}

void TForm1::ReportNotAByte(const QString &what, const QString &line)
{
    // Cut to a byte, 300 would become 2C and 4096 would become 00: values nobody read from the chip.
    ShowMessage(this, MessageKind::Warning,
                QStringLiteral("The %1 read gave \"%2\", which is not a byte (0 to 255): the value was left as it was.")
                    .arg(what, line.trimmed()));
}

std::optional<QString> TForm1::ValueLine(const runner::ToolEnd &end, const QString &what, fuses::ValueLineWatch &watch)
{
    // A value from a run that failed, was stopped or never started would be made up: whatever the
    // output holds, nothing changes (a later Write would program it into the chip).
    if (!end.Succeeded()) {
        if (!closeAfterRun_)
            ShowMessage(this, MessageKind::Warning,
                        QStringLiteral("The %1 read failed: %2.").arg(what, runner::EndReason(end)));
        return std::nullopt;
    }
    // The output's own lines, split at line breaks: how the pane wraps or bounds them plays no part.
    const auto line = watch.Finish();
    if (!line)
        ReportNoValue(what);
    return line;
}

void TForm1::RunRead(const QString &line, const QString &what, fuses::ValueForm form,
                     std::function<void(const QString &)> take)
{
    auto watch = std::make_shared<fuses::ValueLineWatch>(ReadLineIndex, form);
    RunAndCapture(
        line,
        [this, watch, what, take = std::move(take)](const runner::ToolEnd &end) {
            if (const auto value = ValueLine(end, what, *watch))
                take(*value);
        },
        [watch](const QString &text) { watch->See(text); }, true);
}

void TForm1::ReadFuseByte(FuseByte byte)
{
    const fuses::FuseByteRow &row = fuses::Row(byte);
    const QString what = QString::fromLatin1(row.what);
    const QString command = fuses::BuildReadCommand(Snapshot(), fuses::ReadOperation(QString::fromLatin1(row.memory), u'd'));
    if (ThroughBootloader(QStringLiteral("read"), command))
        return;
    commandLine->setText(command);
    // The part the value is read from is the line's own (its last -p), which a later write is
    // compared with.
    const compose::InstalledPart *part = fuses::LinePart(compose::ParseAvrdudeArguments(runner::SplitCommandLine(command)));
    const QString partName = part ? part->name : QString();
    RunRead(command, what, fuses::ValueForm::Decimal, [this, byte, what, partName](const QString &line) {
        const std::int32_t value = fuses::ReadNumber(line, 10);
        if (value < 0 || value > 255) {
            ReportNotAByte(what, line);
            return;
        }
        byteEditor(byte)->setValue(static_cast<unsigned>(value));
        lastReads_[fuses::Index(byte)] = {static_cast<unsigned>(value), partName};
    });
}

void TForm1::ReadHexList(const QString &command, const QString &memory, int count, MaskEdit *field)
{
    RunRead(command, memory, fuses::ValueForm::HexList, [this, memory, count, field](const QString &line) {
        const std::vector<std::uint32_t> values = fuses::ScanHexList(line, count);
        if (std::ranges::any_of(values, [](std::uint32_t v) { return v > 0xFF; })) {
            ReportNotAByte(memory, line);
            return;
        }
        field->SetText(fuses::HexListText(values));
    });
}

// The calibration read shows its command; the signature read composes out of sight.
void TForm1::ReadCalibration()
{
    const QString memory = QStringLiteral("calibration");
    const QString command = fuses::BuildReadCommand(Snapshot(), fuses::ReadOperation(memory, u'h'));
    if (ThroughBootloader(QStringLiteral("read"), command))
        return;
    commandLine->setText(command);
    ReadHexList(command, memory, 4, calibrationField);
}

void TForm1::ReadSignature()
{
    const QString memory = QStringLiteral("signature");
    ReadHexList(fuses::BuildReadCommand(Snapshot(), fuses::ReadOperation(memory, u'h')), memory, 3, signatureField);
}

void TForm1::Detect()
{
    // The chosen device's code where it has one: avrdude wants a part; the signature is read either way.
    compose::FormState state = Snapshot();
    if (compose::LookupPartCode(state.device).isEmpty())
        state.device = QStringLiteral("ATmega8");
    const QString line = fuses::BuildReadCommand(state, fuses::ReadOperation(QStringLiteral("signature"), u'h'));
    if (run_ || !PassesGate(line, true))
        return;
    StartShownRun(line, {}, [this](const runner::AvrdudeRun &run) {
        // Taken from avrdude's own line, whatever the run's exit code: a signature avrdude refused
        // still names the chip.
        const QString signature = run.failure().Signature();
        if (signature.isEmpty()) {
            runStrip->Finish(QStringLiteral("No signature read: %1").arg(runner::EndReason(run.end())), true);
            return;
        }
        signatureField->SetText(signature);
        if (signature == QLatin1String("000000") || signature == QLatin1String("FFFFFF")) {
            runStrip->Finish(QStringLiteral("No answer from the chip (signature %1): check the wiring, the power and "
                                            "the chip's clock")
                                 .arg(signature),
                             true);
            return;
        }
        QStringList parts = compose::PartsWithSignature(signature);
        if (parts.isEmpty()) {
            runStrip->Finish(QStringLiteral("The signature %1 belongs to no part the installed avrdude knows").arg(signature),
                             true);
            return;
        }
        const QString part = parts.size() == 1
                                 ? parts.front()
                                 : ChooseOne(this, QStringLiteral("The signature %1 belongs to several parts. Which is it?")
                                                       .arg(signature),
                                             parts);
        if (part.isEmpty())
            return;
        deviceBox->SetText(part);
        signatureField->SetText(signature);  // a device change resets it
        runStrip->Finish(QStringLiteral("Detected %1 (%2)").arg(part, signature), false);
    });
}

void TForm1::WriteFuseByte(FuseByte byte)
{
    const fuses::FuseByteRow &row = fuses::Row(byte);
    const QString what = QString::fromLatin1(row.what);
    const QString value = byteEditor(byte)->hexText();
    // A half-typed value would be written as another byte: the leave-field check never ran, as the
    // Write button takes no focus.
    if (!fuses::IsCompleteByte(value)) {
        ShowMessage(this, MessageKind::Warning,
                    QStringLiteral("The %1 value \"%2\" is not two hexadecimal digits.").arg(what, value));
        return;
    }
    // What the value would do to the chip is judged at the gate every run passes.
    WriteByte(value, QString::fromLatin1(row.memory));
}

void TForm1::WriteCalibration()
{
    const QString value = calibrationField->Text();
    if (!fuses::IsCalibrationValue(value)) {
        ShowMessage(this, MessageKind::Warning,
                    QStringLiteral("The calibration value \"%1\" is not one to eight hexadecimal digits.").arg(value));
        return;
    }
    WriteByte(value, QStringLiteral("calibration"));
}

void TForm1::WriteByte(const QString &value, const QString &memory)
{
    const QString command = fuses::BuildWriteCommand(Snapshot()) + fuses::WriteOperation(memory, value);
    if (ThroughBootloader(QStringLiteral("write"), command))
        return;
    commandLine->setText(command);
    RunAndCapture(command);
}

void TForm1::SignatureChange()
{
    const QStringList parts = compose::PartsWithSignature(signatureField->Text());
    signaturePart->setText(parts.join(QStringLiteral(", ")));
    signatureField->setToolTip(parts.isEmpty() ? QString()
                                               : QStringLiteral("%1: %2").arg(signatureField->Text(), parts.join(QStringLiteral(", "))));
}

void TForm1::SignatureMenu(QMenu &menu)
{
    const QStringList parts = compose::PartsWithSignature(signatureField->Text());
    if (!parts.isEmpty())
        menu.addSeparator();
    // Picking a part is the user's change of the device box: everything follows as usual.
    for (const QString &part : parts)
        menu.addAction(QStringLiteral("Select %1 in the device box").arg(part), this,
                       [this, part] { deviceBox->SetText(part); });
}
