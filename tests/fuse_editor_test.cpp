// The byte editors kept in step through the real fields and boxes, and the device's fuse layout.
#include "tests/printing.h"
#include "app/form1.h"
#include "tests/helpers.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {
QString Checked(const TForm1 &form, int group)
{
    QString bits;
    for (int k = 0; k < 8; ++k)
        if (form.BitBox(group, k)->isChecked())
            bits += QString::number(k);
    return bits;
}

QString CaptionsOf(const TForm1 &form, int group)
{
    QStringList out;
    for (int k = 0; k < 8; ++k)
        out << form.BitBox(group, k)->text();
    return out.join(',');
}

// Types over the field from its first position, as a user who clicked at its left edge.
void TypeOver(widgets::MaskEdit *field, const char *keys)
{
    field->setFocus();
    field->setCursorPosition(0);
    TypeInto(field, QString::fromLatin1(keys));
}

void ClearAndType(widgets::MaskEdit *field, const char *keys)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    TypeOver(field, keys);
}
}  // namespace

TEST(FuseEditor, TypingA5InTheHexField)
{
    auto form = MakeForm();
    form->Edit3->setText("hand");
    TypeOver(form->MaskEdit30, "a5");
    EXPECT_EQ(form->MaskEdit30->Text(), "A5");
    EXPECT_EQ(form->MaskEdit31->Text(), "10100101");
    EXPECT_EQ(Checked(*form, 3), "0257");
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp ") << "each changed box rebuilds the line";

    // Typing over the whole field selected, as after a Tab into it, overwrites position by position.
    form->MaskEdit40->setFocus();
    form->MaskEdit40->selectAll();
    TypeInto(form->MaskEdit40, "c3");
    EXPECT_EQ(form->MaskEdit40->Text(), "C3");
    EXPECT_EQ(form->MaskEdit41->Text(), "11000011");
}

TEST(FuseEditor, BoxesDriveTheFields)
{
    auto form = MakeForm();
    QTest::mouseClick(form->BitBox(4, 3), Qt::LeftButton);
    EXPECT_EQ(form->MaskEdit41->Text(), "00001000");
    EXPECT_EQ(form->MaskEdit40->Text(), "08");
    form->MaskEdit50->SetText("FF");
    EXPECT_EQ(Checked(*form, 5), "01234567");
    form->Edit3->setText("hand");
    QTest::mouseClick(form->BitBox(5, 7), Qt::LeftButton);
    EXPECT_EQ(form->MaskEdit51->Text(), "01111111");
    EXPECT_EQ(form->MaskEdit50->Text(), "7F");
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp ");
}

TEST(FuseEditor, BinaryKeysOnlyEnterZerosAndOnes)
{
    auto form = MakeForm();
    widgets::MaskEdit *bin = form->MaskEdit31;
    bin->setFocus();
    bin->setCursorPosition(0);
    TypeInto(bin, "1x7");
    EXPECT_EQ(bin->Text(), "10000000");
    EXPECT_EQ(form->MaskEdit30->Text(), "80");
    bin->setCursorPosition(7);
    QTest::keyClick(bin, '1');
    EXPECT_EQ(form->MaskEdit30->Text(), "81");
    EXPECT_EQ(Checked(*form, 3), "07");
    // Control characters too: Backspace and Ctrl+V type a 0.
    bin->setCursorPosition(0);
    QTest::keyClick(bin, Qt::Key_Backspace);
    QTest::keyClick(bin, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(bin->Text(), "00000001");
    EXPECT_EQ(form->MaskEdit30->Text(), "01");
}

TEST(FuseEditor, PartialBinaryEntryInBothVariants)
{
    // 101 in positions 1 to 3, the rest unfilled: the text 101 reads as 5.
    auto form = MakeForm();
    widgets::MaskEdit *bin = form->MaskEdit31;
    bin->setFocus();
    bin->setCursorPosition(0);
    TypeInto(bin, "101");
    bin->setSelection(3, 5);
    QTest::keyClick(bin, Qt::Key_Delete);
    // The hex field did not hold 05 yet: it is rewritten, and the binary field with it.
    EXPECT_EQ(form->MaskEdit30->Text(), "05");
    EXPECT_EQ(bin->Text(), "00000101");
    EXPECT_EQ(Checked(*form, 3), "02");

    // The hex field holds 05 already: nothing rewrites the binary field, the boxes follow positions.
    bin->SetText("101_____");
    EXPECT_EQ(form->MaskEdit30->Text(), "05");
    EXPECT_TRUE(bin->RawText().startsWith("101__")) << bin->RawText().toStdString();
    EXPECT_EQ(Checked(*form, 3), "57") << "the boxes disagree with 05 until the next change";
}

TEST(FuseEditor, HexEntriesThatAreNotPlainDigits)
{
    auto form = MakeForm();
    TypeOver(form->MaskEdit30, "-1");
    EXPECT_EQ(form->MaskEdit30->Text(), "7F");
    EXPECT_EQ(form->MaskEdit31->Text(), "01111111");
    EXPECT_EQ(Checked(*form, 3), "0123456");

    form->MaskEdit40->SetText("00");
    TypeOver(form->MaskEdit40, "g1");
    EXPECT_EQ(form->MaskEdit40->Text(), "G1") << "reads as the 00 the group holds: stays as typed";
    EXPECT_EQ(form->MaskEdit41->Text(), "00000000");

    form->MaskEdit50->SetText("A5");
    form->MaskEdit50->setFocus();
    form->MaskEdit50->setCursorPosition(2);
    QTest::keyClick(form->MaskEdit50, Qt::Key_Backspace);
    EXPECT_EQ(form->MaskEdit50->Text(), "0A");
    EXPECT_EQ(form->MaskEdit51->Text(), "00001010");
}

TEST(FuseEditor, ThreeCharacterTextSetByCodeSettlesAt00)
{
    auto form = MakeForm();
    form->MaskEdit30->SetText("5A");
    form->MaskEdit30->SetText("100");
    EXPECT_EQ(form->MaskEdit30->Text(), "00");
    EXPECT_EQ(form->MaskEdit31->Text(), "00000000");
    EXPECT_EQ(Checked(*form, 3), "");
}

TEST(FuseEditor, LeavingAHalfFilledHexFieldWarnsAndEscapeAbandons)
{
    auto form = MakeForm();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Watch watch;
    form->MaskEdit30->SetText("00");
    ClearAndType(form->MaskEdit30, "0");
    EXPECT_EQ(form->MaskEdit30->RawText(), "0_");
    form->Edit1->setFocus(Qt::TabFocusReason);
    QTest::qWait(20);
    ASSERT_EQ(watch.messages.size(), 1u);
    EXPECT_EQ(watch.messages[0].text, "Invalid input value.  Use escape key to abandon changes.");
    EXPECT_EQ(watch.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(QApplication::focusWidget(), form->MaskEdit30);
    QTest::keyClick(form->MaskEdit30, Qt::Key_Escape);
    EXPECT_EQ(form->MaskEdit30->RawText(), "00");
    form->Edit1->setFocus(Qt::TabFocusReason);
    QTest::qWait(20);
    EXPECT_EQ(watch.messages.size(), 1u);
}

TEST(FuseLayoutOnTheWindow, ATmega8)
{
    auto form = MakeForm();
    EXPECT_EQ(CaptionsOf(*form, 3), "CKSEL0,CKSEL1,CKSEL2,CKSEL3,SUT0,SUT1,BODEN,BODLEVEL");
    EXPECT_EQ(CaptionsOf(*form, 4), "BOOTRST,BOOTSZ0,BOOTSZ1,EESAVE,CKOPT,SPIEN,WTDON,RSTDISBL");
    EXPECT_EQ(CaptionsOf(*form, 5), "LB1,LB2,BLB01,BLB02,BLB11,BLB12,Bit 6,Bit 7");
    EXPECT_EQ(CaptionsOf(*form, 6), "Bit 0,Bit 1,Bit 2,Bit 3,Bit 4,Bit 5,Bit 6,Bit 7");
    EXPECT_TRUE(form->MaskEdit40->isEnabled());
    EXPECT_FALSE(form->MaskEdit60->isEnabled());
    EXPECT_FALSE(form->MaskEdit61->isEnabled());
    EXPECT_FALSE(form->BitBox(6, 3)->isEnabled());
    EXPECT_TRUE(form->SpeedButton4->isEnabled()) << "Read stays usable in a group that is off";
    EXPECT_TRUE(form->SpeedButton10->isEnabled());
    EXPECT_EQ(form->MaskEdit80->Text(), "000000");
}

TEST(FuseLayoutOnTheWindow, TurningGroupsOffZeroesThemAndNothingRestoresThem)
{
    auto form = MakeForm();
    form->MaskEdit40->SetText("D9");
    form->MaskEdit50->SetText("3C");
    form->Edit3->setText("hand");
    form->DeviceComboBox->SetText("AT90S2313");
    EXPECT_EQ(form->MaskEdit30->Text(), "00");
    EXPECT_EQ(form->MaskEdit40->Text(), "00");
    EXPECT_EQ(Checked(*form, 4), "");
    EXPECT_FALSE(form->MaskEdit40->isEnabled());
    EXPECT_EQ(form->MaskEdit50->Text(), "3C");
    EXPECT_EQ(CaptionsOf(*form, 5), "LB1,LB2,Bit 2,Bit 3,Bit 4,Bit 5,Bit 6,Bit 7");
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p 2313 -c usbasp ");
    form->DeviceComboBox->SetText("ATmega8");
    EXPECT_TRUE(form->MaskEdit40->isEnabled());
    EXPECT_EQ(form->MaskEdit40->Text(), "00");
}

TEST(FuseLayoutOnTheWindow, AnyOtherTextTurnsEveryGroupOnAndKeepsTheSignature)
{
    auto form = MakeForm();
    form->MaskEdit80->SetText("1E9307");
    form->DeviceComboBox->SetText("ATmega8 ");
    for (int g = 3; g <= 6; ++g) {
        EXPECT_TRUE(form->Group(g).hex->isEnabled());
        EXPECT_EQ(CaptionsOf(*form, g), "Bit 0,Bit 1,Bit 2,Bit 3,Bit 4,Bit 5,Bit 6,Bit 7");
    }
    EXPECT_TRUE(form->MaskEdit70->isEnabled());
    EXPECT_EQ(form->MaskEdit80->Text(), "1E9307");
    form->DeviceComboBox->SetText("ATmega16");
    EXPECT_EQ(form->MaskEdit80->Text(), "000000");
    EXPECT_EQ(CaptionsOf(*form, 6), "WDTON,M103C,Bit 2,Bit 3,Bit 4,Bit 5,Bit 6,Bit 7");
}

TEST(FuseLayoutOnTheWindow, AValueInAGroupThatIsOffIsZeroedByTheNextChange)
{
    auto form = MakeForm();
    form->MaskEdit60->SetText("FD");  // as a read fills the disabled group
    EXPECT_EQ(form->MaskEdit60->Text(), "FD");
    TypeInto(form->Edit1, "x");
    EXPECT_EQ(form->MaskEdit60->Text(), "00");
}
