// The device's fuse layout on the byte editors.
#include "app/form1.h"
#include "fuses/fuse_layout.h"

void TForm1::ApplyFuseLayout()
{
    const fuses::FuseLayout layout = fuses::LookupFuseLayout(deviceBox->Text());
    for (widgets::ByteEditor *editor : byteEditors)
        editor->setBitLayout(layout[editor->byte()]);
    // The panel follows the part, and shows what the editors hold.
    fuseSettings->setDevice(fuses::FindMeanings(deviceBox->Text()), deviceBox->Text());
    for (const widgets::ByteEditor *editor : byteEditors)
        fuseSettings->setValue(editor->byte(), editor->value());
    // A device of the table starts with an unread signature; any other text opens the calibration field.
    if (layout.inTable)
        signatureField->SetText(QStringLiteral("000000"));
    else
        calibrationField->setEnabled(true);
}
