// The Read and Write buttons of the byte groups: one run of the tool each.
#include "app/form1.h"
#include "app/messages.h"
#include "fuses/byte_commands.h"
#include "fuses/byte_text.h"
#include "fuses/fuse_safety.h"
#include "compose/installed.h"
#include "runner/outcome.h"

namespace {

struct FuseRead {
    const char *memory;
    const char *what;  // as the user is told when no value is found
};
constexpr FuseRead kFuseReads[] = {
    {"lfuse", "low fuse"}, {"hfuse", "high fuse"}, {"lock", "lock"}, {"efuse", "extended fuse"}};

}  // namespace

void TForm1::BuildReadCommand(QLineEdit *target, const QString &operation)
{
    target->setText(fuses::BuildReadCommand(Snapshot(), operation));
}

void TForm1::BuildWriteCommand(QLineEdit *target) { target->setText(fuses::BuildWriteCommand(Snapshot())); }

QStringList TForm1::OutputLines() const
{
    // The output's own lines, split at line breaks: how the pane wraps them plays no part.
    return Memo1->Text().split(QLatin1Char('\n'));
}

void TForm1::ReportNoValue(const QString &what)
{
    // A read that found nothing changes nothing: a made-up 00 could be written back to the chip.
    ShowMessage(this, MessageKind::Warning, QStringLiteral("No value found in the output of the %1 read.").arg(what));
}

bool TForm1::ReadSucceeded(const runner::ToolEnd &end, const QString &what)
{
    // A value from a run that failed, was stopped or never started would be made up: whatever the
    // output holds, nothing changes (a later Write would program it into the chip).
    if (end.Succeeded())
        return true;
    if (!closeAfterRun_)
        ShowMessage(this, MessageKind::Warning, QStringLiteral("The %1 read failed: %2.").arg(what, runner::EndReason(end)));
    return false;
}

void TForm1::ReadFuseByte(int group)
{
    const FuseRead &read = kFuseReads[group - 3];
    BuildReadCommand(Edit3, fuses::ReadOperation(QString::fromLatin1(read.memory), u'd'));
    if (!ReadSucceeded(RunAndCapture(Edit3->text()), QString::fromLatin1(read.what)))
        return;
    const auto line = fuses::FindValueLine(OutputLines(), ReadLineIndex, fuses::ValueForm::Decimal);
    if (!line) {
        ReportNoValue(QString::fromLatin1(read.what));
        return;
    }
    Group(group).hex->SetText(fuses::FixedWidthText(fuses::ReadNumber(*line, 10), 16));
    lastRead_[group - 3] = Group(group).hex->Text();
    lastReadDevice_[group - 3] = DeviceComboBox->Text();
}

void TForm1::ReadHexList(QLineEdit *target, const QString &memory, int count, MaskEdit *field)
{
    BuildReadCommand(target, fuses::ReadOperation(memory, u'h'));
    if (!ReadSucceeded(RunAndCapture(target->text()), memory))
        return;
    const auto line = fuses::FindValueLine(OutputLines(), ReadLineIndex, fuses::ValueForm::HexList);
    if (!line) {
        ReportNoValue(memory);
        return;
    }
    field->SetText(fuses::HexListText(fuses::ScanHexList(*line, count)));
}

// The calibration read shows its command; the signature read composes out of sight.
void TForm1::SpeedButton5Click() { ReadHexList(Edit3, QStringLiteral("calibration"), 4, MaskEdit70); }

void TForm1::SpeedButton6Click() { ReadHexList(Edit5, QStringLiteral("signature"), 3, MaskEdit80); }

void TForm1::WriteFuseByte(int group)
{
    const FuseRead &write = kFuseReads[group - 3];
    const QString what = QString::fromLatin1(write.what);
    const QString value = Group(group).hex->Text();
    // A half-typed value would be written as another byte: the leave-field check never ran, as the
    // Write button takes no focus.
    if (!fuses::IsCompleteByte(value)) {
        ShowMessage(this, MessageKind::Warning,
                    QStringLiteral("The %1 value \"%2\" is not two hexadecimal digits.").arg(what, value));
        return;
    }
    const QStringList risks =
        fuses::LockOutRisks(fuses::LookupFuseLayout(DeviceComboBox->Text()), group - 3, value.toUInt(nullptr, 16));
    if (!risks.isEmpty()) {
        const QString old = lastReadDevice_[group - 3] == DeviceComboBox->Text() && !lastRead_[group - 3].isEmpty()
                                ? lastRead_[group - 3]
                                : QStringLiteral("not read");
        const QString question =
            QStringLiteral("Writing %1 to the %2 of the %3 cannot easily be undone:\n\n%4\n\nValue as last read: %5\n"
                           "New value: %1")
                .arg(value, what, DeviceComboBox->Text(), risks.join(QStringLiteral("\n\n")), old);
        if (!AskQuestion(this, question, QStringLiteral("Write anyway"), QStringLiteral("Cancel")))
            return;
    }
    WriteByte(Group(group).hex, QString::fromLatin1(write.memory));
}

void TForm1::SpeedButton11Click()
{
    const QString value = MaskEdit70->Text();
    if (!fuses::IsCalibrationValue(value)) {
        ShowMessage(this, MessageKind::Warning,
                    QStringLiteral("The calibration value \"%1\" is not one to eight hexadecimal digits.").arg(value));
        return;
    }
    WriteByte(MaskEdit70, QStringLiteral("calibration"));
}

void TForm1::WriteByte(MaskEdit *field, const QString &memory)
{
    BuildWriteCommand(Edit3);
    Edit3->setText(Edit3->text() + fuses::WriteOperation(memory, field->Text()));
    RunAndCapture(Edit3->text());
}

void TForm1::MaskEdit80Change()
{
    const QStringList parts = compose::PartsWithSignature(MaskEdit80->Text());
    MaskEdit80->setToolTip(parts.isEmpty() ? QString()
                                           : QStringLiteral("%1: %2").arg(MaskEdit80->Text(), parts.join(QStringLiteral(", "))));
}

void TForm1::SignatureMenu(QMenu &menu)
{
    const QStringList parts = compose::PartsWithSignature(MaskEdit80->Text());
    if (!parts.isEmpty())
        menu.addSeparator();
    // Picking a part is the user's change of the device box: everything follows as usual.
    for (const QString &part : parts)
        menu.addAction(QStringLiteral("Select %1 in the device box").arg(part), this,
                       [this, part] { DeviceComboBox->SetText(part); });
}
