// The byte editors' rules on the window: hex, binary and bit boxes kept in step, and the device's
// fuse layout. Each chain of updates ends because a value set to what it already is fires nothing.
#include "app/form1.h"
#include "fuses/bit_rules.h"
#include "fuses/byte_text.h"
#include "fuses/fuse_layout.h"

QChar TForm1::MaskEdit31KeyPress(QChar typed) { return fuses::BinaryKey(typed); }

void TForm1::HexChange(int group)
{
    const widgets::FuseGroup &g = Group(group);
    g.bin->SetText(fuses::FixedWidthText(fuses::ReadNumber(g.hex->Text(), 16), 2));
}

void TForm1::BinaryChange(int group)
{
    const widgets::FuseGroup &g = Group(group);
    g.hex->SetText(fuses::FixedWidthText(fuses::ReadNumber(g.bin->Text(), 2), 16));
    // The binary field may have been rewritten meanwhile: each box reads it afresh.
    for (int k = 0; k < 8; ++k)
        g.bits[k]->setChecked(fuses::BitIsSet(g.bin->RawText(), k));
}

void TForm1::CheckBoxClick(int group, int bit)
{
    const widgets::FuseGroup &g = Group(group);
    g.bin->SetText(fuses::WithBit(g.bin->RawText(), bit, g.bits[bit]->isChecked()));
    BuildCommandLine(Edit3);
}

void TForm1::ApplyFuseLayout()
{
    const fuses::FuseLayout layout = fuses::LookupFuseLayout(DeviceComboBox->Text());
    for (std::size_t i = 0; i < groups.size(); ++i)
        groups[i].Apply(layout.groups[i]);
    // A device of the table starts with an unread signature; any other text opens the calibration field.
    if (layout.inTable)
        MaskEdit80->SetText(QStringLiteral("000000"));
    else
        MaskEdit70->setEnabled(true);
}
