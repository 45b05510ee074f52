// The device's fuse layout on the byte editors.
#include "app/form1.h"
#include "fuses/fuse_layout.h"

void TForm1::ApplyFuseLayout()
{
    const fuses::FuseLayout layout = fuses::LookupFuseLayout(deviceBox->Text());
    for (widgets::ByteEditor *editor : byteEditors)
        editor->setLayout(layout[editor->byte()]);
    // A device of the table starts with an unread signature; any other text opens the calibration field.
    if (layout.inTable)
        signatureField->SetText(QStringLiteral("000000"));
    else
        calibrationField->setEnabled(true);
}
