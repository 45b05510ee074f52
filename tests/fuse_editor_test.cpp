// The byte editors kept in step through the real fields and boxes, and the device's fuse layout.
#include "tests/printing.h"
#include "window/main_window.h"
#include "tests/helpers.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {
QString Checked(const MainWindow &form, fuses::FuseByte byte)
{
    QString bits;
    for (int k = 0; k < 8; ++k)
        if (Ui(form).byteEditor(byte)->bitBox(k)->isChecked())
            bits += QString::number(k);
    return bits;
}

QString CaptionsOf(const MainWindow &form, fuses::FuseByte byte)
{
    QStringList out;
    for (int k = 0; k < 8; ++k)
        out << Ui(form).byteEditor(byte)->bitBox(k)->text();
    return out.join(',');
}

// Types over the field from its first position, as a user who clicked at its left edge.
void TypeOver(widgets::MaskEdit *field, const char *keys)
{
    field->setFocus();
    field->setCursorPosition(0);
    TypeInto(field, QString::fromLatin1(keys));
}

// Returns once every timer of no delay started before it has fired (they fire in order), such as
// the field's check when the focus leaves it.
void AfterPendingZeroTimers()
{
    bool reached = false;
    QTimer::singleShot(0, [&] { reached = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return reached; }, 5000));
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
    Ui(*form).commandLine->setText("hand");
    TypeOver(Ui(*form).byteEditor(Low)->hexField(), "a5");
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "A5");
    EXPECT_EQ(Ui(*form).byteEditor(Low)->binaryField()->maskedText(), "10100101");
    EXPECT_EQ(Checked(*form, Low), "0257");
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp ") << "each changed box rebuilds the line";

    // Typing over the whole field selected, as after a Tab into it, overwrites position by position.
    Ui(*form).byteEditor(High)->hexField()->setFocus();
    Ui(*form).byteEditor(High)->hexField()->selectAll();
    TypeInto(Ui(*form).byteEditor(High)->hexField(), "c3");
    EXPECT_EQ(Ui(*form).byteEditor(High)->hexField()->maskedText(), "C3");
    EXPECT_EQ(Ui(*form).byteEditor(High)->binaryField()->maskedText(), "11000011");
}

TEST(FuseEditor, BoxesDriveTheFields)
{
    auto form = MakeForm();
    QTest::mouseClick(Ui(*form).byteEditor(High)->bitBox(3), Qt::LeftButton);
    EXPECT_EQ(Ui(*form).byteEditor(High)->binaryField()->maskedText(), "00001000");
    EXPECT_EQ(Ui(*form).byteEditor(High)->hexField()->maskedText(), "08");
    Ui(*form).byteEditor(Lock)->hexField()->setMaskedText("FF");
    EXPECT_EQ(Checked(*form, Lock), "01234567");
    Ui(*form).commandLine->setText("hand");
    QTest::mouseClick(Ui(*form).byteEditor(Lock)->bitBox(7), Qt::LeftButton);
    EXPECT_EQ(Ui(*form).byteEditor(Lock)->binaryField()->maskedText(), "01111111");
    EXPECT_EQ(Ui(*form).byteEditor(Lock)->hexField()->maskedText(), "7F");
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp ");
}

TEST(FuseEditor, BinaryKeysOnlyEnterZerosAndOnes)
{
    auto form = MakeForm();
    widgets::MaskEdit *bin = Ui(*form).byteEditor(Low)->binaryField();
    bin->setFocus();
    bin->setCursorPosition(0);
    TypeInto(bin, "1x7");
    EXPECT_EQ(bin->maskedText(), "10000000");
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "80");
    bin->setCursorPosition(7);
    QTest::keyClick(bin, '1');
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "81");
    EXPECT_EQ(Checked(*form, Low), "07");
    // Control characters too: Backspace and Ctrl+V type a 0.
    bin->setCursorPosition(0);
    QTest::keyClick(bin, Qt::Key_Backspace);
    QTest::keyClick(bin, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(bin->maskedText(), "00000001");
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "01");
}

TEST(FuseEditor, PartialBinaryEntryInBothVariants)
{
    // 101 in positions 1 to 3, the rest unfilled: the text 101 reads as 5.
    auto form = MakeForm();
    widgets::MaskEdit *bin = Ui(*form).byteEditor(Low)->binaryField();
    bin->setFocus();
    bin->setCursorPosition(0);
    TypeInto(bin, "101");
    bin->setSelection(3, 5);
    QTest::keyClick(bin, Qt::Key_Delete);
    // The hex field did not hold 05 yet: it is rewritten, and the binary field with it.
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "05");
    EXPECT_EQ(bin->maskedText(), "00000101");
    EXPECT_EQ(Checked(*form, Low), "02");

    // The hex field holds 05 already: nothing rewrites the binary field, and the boxes show the
    // one value the editor holds.
    bin->setMaskedText("101_____");
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "05");
    EXPECT_TRUE(bin->rawText().startsWith("101__")) << bin->rawText().toStdString();
    EXPECT_EQ(Checked(*form, Low), "02");
}

// Whatever changes the value, and however many controls follow, the value changes once.
TEST(ByteEditor, EachChangeOfTheValueIsSignalledOnceWithTheFinalValue)
{
    auto form = MakeForm();
    widgets::ByteEditor *editor = Ui(*form).byteEditor(Low);
    editor->setValue(0xFF);
    std::vector<unsigned> seen;
    QObject::connect(editor, &widgets::ByteEditor::valueChanged, [&](unsigned value) { seen.push_back(value); });
    editor->setValue(0x62);
    EXPECT_EQ(seen, std::vector<unsigned>{0x62});
    editor->setValue(0x162);  // the same low byte: no change
    EXPECT_EQ(seen.size(), 1u);
    editor->bitBox(7)->click();
    editor->binaryField()->setMaskedText("00000001");
    TypeOver(editor->hexField(), "A5");  // typed over 01: A1, then A5
    EXPECT_EQ(seen, (std::vector<unsigned>{0x62, 0xE2, 0x01, 0xA1, 0xA5}));
    EXPECT_EQ(editor->value(), 0xA5u);
    EXPECT_EQ(editor->binaryField()->maskedText(), "10100101");
    EXPECT_EQ(Checked(*form, Low), "0257");
}

TEST(FuseEditor, HexEntriesThatAreNotPlainDigits)
{
    auto form = MakeForm();
    TypeOver(Ui(*form).byteEditor(Low)->hexField(), "-1");
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "7F");
    EXPECT_EQ(Ui(*form).byteEditor(Low)->binaryField()->maskedText(), "01111111");
    EXPECT_EQ(Checked(*form, Low), "0123456");

    Ui(*form).byteEditor(High)->hexField()->setMaskedText("00");
    TypeOver(Ui(*form).byteEditor(High)->hexField(), "g1");
    EXPECT_EQ(Ui(*form).byteEditor(High)->hexField()->maskedText(), "G1") << "reads as the 00 the group holds: stays as typed";
    EXPECT_EQ(Ui(*form).byteEditor(High)->binaryField()->maskedText(), "00000000");

    Ui(*form).byteEditor(Lock)->hexField()->setMaskedText("A5");
    Ui(*form).byteEditor(Lock)->hexField()->setFocus();
    Ui(*form).byteEditor(Lock)->hexField()->setCursorPosition(2);
    QTest::keyClick(Ui(*form).byteEditor(Lock)->hexField(), Qt::Key_Backspace);
    EXPECT_EQ(Ui(*form).byteEditor(Lock)->hexField()->maskedText(), "0A");
    EXPECT_EQ(Ui(*form).byteEditor(Lock)->binaryField()->maskedText(), "00001010");
}

TEST(FuseEditor, ThreeCharacterTextSetByCodeSettlesAt00)
{
    auto form = MakeForm();
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("5A");
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("100");
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "00");
    EXPECT_EQ(Ui(*form).byteEditor(Low)->binaryField()->maskedText(), "00000000");
    EXPECT_EQ(Checked(*form, Low), "");
}

TEST(FuseEditor, LeavingAHalfFilledHexFieldWarnsAndEscapeAbandons)
{
    auto form = MakeForm();
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    Watch watch;
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("00");
    ClearAndType(Ui(*form).byteEditor(Low)->hexField(), "0");
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->rawText(), "0_");
    Ui(*form).flashFile->setFocus(Qt::TabFocusReason);
    AfterPendingZeroTimers();
    ASSERT_EQ(watch.messages.size(), 1u);
    EXPECT_EQ(watch.messages[0].text, "Invalid input value.  Use escape key to abandon changes.");
    EXPECT_EQ(watch.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(QApplication::focusWidget(), Ui(*form).byteEditor(Low)->hexField());
    QTest::keyClick(Ui(*form).byteEditor(Low)->hexField(), Qt::Key_Escape);
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->rawText(), "00");
    Ui(*form).flashFile->setFocus(Qt::TabFocusReason);
    AfterPendingZeroTimers();
    EXPECT_EQ(watch.messages.size(), 1u);
}

TEST(FuseLayoutOnTheWindow, ATmega8)
{
    auto form = MakeForm();
    EXPECT_EQ(CaptionsOf(*form, Low), "CKSEL0,CKSEL1,CKSEL2,CKSEL3,SUT0,SUT1,BODEN,BODLEVEL");
    EXPECT_EQ(CaptionsOf(*form, High), "BOOTRST,BOOTSZ0,BOOTSZ1,EESAVE,CKOPT,SPIEN,WTDON,RSTDISBL");
    EXPECT_EQ(CaptionsOf(*form, Lock), "LB1,LB2,BLB01,BLB02,BLB11,BLB12,Bit 6,Bit 7");
    EXPECT_EQ(CaptionsOf(*form, Extended), "Bit 0,Bit 1,Bit 2,Bit 3,Bit 4,Bit 5,Bit 6,Bit 7");
    EXPECT_TRUE(Ui(*form).byteEditor(High)->hexField()->isEnabled());
    EXPECT_FALSE(Ui(*form).byteEditor(Extended)->hexField()->isEnabled());
    EXPECT_FALSE(Ui(*form).byteEditor(Extended)->binaryField()->isEnabled());
    EXPECT_FALSE(Ui(*form).byteEditor(Extended)->bitBox(3)->isEnabled());
    EXPECT_TRUE(Ui(*form).byteEditor(Extended)->readButton()->isEnabled()) << "Read stays usable in a group that is off";
    EXPECT_TRUE(Ui(*form).byteEditor(Extended)->writeButton()->isEnabled());
    EXPECT_EQ(Ui(*form).signatureField->maskedText(), "000000");
}

TEST(FuseLayoutOnTheWindow, TurningGroupsOffZeroesThemAndNothingRestoresThem)
{
    auto form = MakeForm();
    Ui(*form).byteEditor(High)->hexField()->setMaskedText("D9");
    Ui(*form).byteEditor(Lock)->hexField()->setMaskedText("3C");
    Ui(*form).commandLine->setText("hand");
    Ui(*form).deviceBox->setEditText("AT90S2313");
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "00");
    EXPECT_EQ(Ui(*form).byteEditor(High)->hexField()->maskedText(), "00");
    EXPECT_EQ(Checked(*form, High), "");
    EXPECT_FALSE(Ui(*form).byteEditor(High)->hexField()->isEnabled());
    EXPECT_EQ(Ui(*form).byteEditor(Lock)->hexField()->maskedText(), "3C");
    EXPECT_EQ(CaptionsOf(*form, Lock), "LB1,LB2,Bit 2,Bit 3,Bit 4,Bit 5,Bit 6,Bit 7");
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p 2313 -c usbasp ");
    Ui(*form).deviceBox->setEditText("ATmega8");
    EXPECT_TRUE(Ui(*form).byteEditor(High)->hexField()->isEnabled());
    EXPECT_EQ(Ui(*form).byteEditor(High)->hexField()->maskedText(), "00");
}

TEST(FuseLayoutOnTheWindow, AnyOtherTextTurnsEveryGroupOnAndKeepsTheSignature)
{
    auto form = MakeForm();
    Ui(*form).signatureField->setMaskedText("1E9307");
    Ui(*form).deviceBox->setEditText("ATmega8 ");
    for (fuses::FuseByte byte : fuses::AllFuseBytes) {
        EXPECT_TRUE(Ui(*form).byteEditor(byte)->hexField()->isEnabled());
        EXPECT_EQ(CaptionsOf(*form, byte), "Bit 0,Bit 1,Bit 2,Bit 3,Bit 4,Bit 5,Bit 6,Bit 7");
    }
    EXPECT_TRUE(Ui(*form).calibrationField->isEnabled());
    EXPECT_EQ(Ui(*form).signatureField->maskedText(), "1E9307");
    Ui(*form).deviceBox->setEditText("ATmega16");
    EXPECT_EQ(Ui(*form).signatureField->maskedText(), "000000");
    EXPECT_EQ(CaptionsOf(*form, Extended), "WDTON,M103C,Bit 2,Bit 3,Bit 4,Bit 5,Bit 6,Bit 7");
}

// Only a change of device applies the layout again: typing a file name or ticking an option
// leaves a value in a group that is off, and a signature just read, as they are.
TEST(FuseLayoutOnTheWindow, AValueInAGroupThatIsOffIsZeroedByTheNextDeviceChange)
{
    auto form = MakeForm();
    const window::Controls ui = Ui(*form);
    ui.byteEditor(Extended)->hexField()->setMaskedText("FD");  // as a read fills the disabled group
    ui.signatureField->setMaskedText("1E9307");
    TypeInto(ui.flashFile, "x");
    ui.chipEraseBox->setChecked(true);
    EXPECT_EQ(ui.byteEditor(Extended)->hexField()->maskedText(), "FD");
    EXPECT_EQ(ui.signatureField->maskedText(), "1E9307");
    ui.deviceBox->setEditText("ATmega16");
    ui.deviceBox->setEditText("ATmega8");
    EXPECT_EQ(ui.byteEditor(Extended)->hexField()->maskedText(), "00");
    EXPECT_EQ(ui.signatureField->maskedText(), "000000");
}

TEST(ByteEditor, APasteIsOneByteInAUsualFormOrRefused)
{
    auto form = MakeForm();
    widgets::MaskEdit *hex = Ui(*form).byteEditor(Low)->hexField();
    struct Row {
        const char *pasted, *shown, *binary;  // shown null: refused, the field keeps 3C
    } rows[] = {
        {"0xE1", "E1", "11100001"}, {" e1 ", "E1", "11100001"}, {"$E1", "E1", "11100001"},
        {"E1h", "E1", "11100001"},  {"5", "05", "00000101"},    {"225", nullptr, "00111100"},
        {"0x1E1", nullptr, "00111100"}, {"$E1h", nullptr, "00111100"}, {"E1 E2", nullptr, "00111100"},
        {"", nullptr, "00111100"},
    };
    for (const auto &[pasted, shown, binary] : rows) {
        hex->setMaskedText("3C");
        QApplication::clipboard()->setText(QString::fromUtf8(pasted));
        hex->setFocus();
        hex->setCursorPosition(1);
        Watch watch;
        QTest::keyClick(hex, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(hex->maskedText(), shown ? shown : "3C") << pasted;
        EXPECT_EQ(Ui(*form).byteEditor(Low)->binaryField()->maskedText(), binary) << pasted;
        EXPECT_EQ(watch.messages.size(), shown ? 0u : 1u) << pasted;
    }
}

// Every clock setting of the ATmega328P, chosen in the panel, reaches the hex field, and the hex
// field's value shows the same setting; the hex typed by hand moves the panel too.
TEST(FuseSettingsPanel, EveryClockSettingRoundTripsThroughTheByteEditor)
{
    auto form = MakeForm("ATmega328P");
    widgets::FuseSettingsPanel *panel = Ui(*form).fuseSettings;
    QComboBox *clock = panel->settingBox(Low, "SUT_CKSEL");
    ASSERT_NE(clock, nullptr);
    ASSERT_EQ(clock->count(), 55) << "every setting the data lists";
    Ui(*form).byteEditor(Low)->setValue(0x62);
    for (int i = 0; i < clock->count(); ++i) {
        clock->setCurrentIndex(i);  // as the user picks it
        const unsigned raw = clock->itemData(i).toUInt();
        EXPECT_EQ(Ui(*form).byteEditor(Low)->value(), (0x62u & 0xC0u) | raw) << i;
        Ui(*form).byteEditor(Low)->hexField()->setMaskedText("62");
        EXPECT_EQ(clock->currentText().left(18), "Int. RC Osc. 8 MHz");
        Ui(*form).byteEditor(Low)->setValue((0x62u & 0xC0u) | raw);
        EXPECT_EQ(clock->currentIndex(), i);
    }
    // A one-bit field ticks when programmed; the bit box ticks the other way.
    QCheckBox *div8 = panel->bitBox(Low, "CKDIV8");
    ASSERT_NE(div8, nullptr);
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("62");
    EXPECT_TRUE(div8->isChecked());
    EXPECT_FALSE(Ui(*form).byteEditor(Low)->bitBox(7)->isChecked());
    EXPECT_EQ(panel->bitState(Low, "CKDIV8")->text(), "programmed (0)") << "the words beside the tick read as the bit box does";
    div8->setChecked(false);
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexText(), "E2");
    EXPECT_EQ(panel->bitState(Low, "CKDIV8")->text(), "unprogrammed (1)");
    // A value the group does not list shows as itself; the factory defaults set every editor.
    Ui(*form).byteEditor(Extended)->hexField()->setMaskedText("F8");
    EXPECT_EQ(panel->settingBox(Extended, "BODLEVEL")->currentText(), "0x00 (not a listed setting)");
    Ui(*form).byteEditor(Extended)->hexField()->setMaskedText("F9");  // another unlisted value replaces the first
    QComboBox *bodlevel = panel->settingBox(Extended, "BODLEVEL");
    EXPECT_EQ(bodlevel->currentText(), "0x01 (not a listed setting)");
    int unlisted = 0;
    for (int i = 0; i < bodlevel->count(); ++i)
        unlisted += bodlevel->itemText(i).contains("not a listed setting") ? 1 : 0;
    EXPECT_EQ(unlisted, 1);
    QTest::mouseClick(panel->defaultsButton(), Qt::LeftButton);
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexText(), "62");
    EXPECT_EQ(Ui(*form).byteEditor(High)->hexText(), "D9");
    EXPECT_EQ(Ui(*form).byteEditor(Extended)->hexText(), "FF");
    EXPECT_EQ(Ui(*form).byteEditor(Lock)->hexText(), "FF");
    Ui(*form).deviceBox->setEditText("ATmega9999");
    EXPECT_EQ(panel->settingBox(Low, "SUT_CKSEL"), nullptr);
    EXPECT_FALSE(panel->defaultsButton()->isVisible());
}

// The panel edits and writes: after Read All the chip's values are known; a setting changed is
// marked until written; one Write writes exactly the changed bytes; Ctrl+Z and Ctrl+Shift+Z step
// through the changes; "Back to the values read" restores what the chip holds.
TEST(FusePanel, EditsAreMarkedWrittenInOneRunAndUndone)
{
    QFile::remove(OwnDir() + "/runs.log");
    StandIn tool(QStringLiteral(R"(echo "$*" >> "%1/runs.log"; cat "%2")")
                     .arg(OwnDir(), QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/read_all_fuses.txt")));
    auto form = MakeForm("ATmega8", "usbasp");
    widgets::FuseSettingsPanel *panel = Ui(*form).fuseSettings;
    ClickAndWait(Ui(*form).readAllButton);
    ASSERT_EQ(Ui(*form).byteEditor(Low)->hexText(), "E1");
    EXPECT_TRUE(panel->changes().isEmpty());
    EXPECT_FALSE(panel->writeButton()->isEnabled());
    const auto runs = [] {
        QFile log(OwnDir() + "/runs.log");
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList{};
    };
    const QStringList before = runs();

    // Two settings changed: the low fuse's clock, the high fuse's EESAVE.
    QComboBox *clock = panel->settingBox(Low, "SUT_CKSEL");
    ASSERT_NE(clock, nullptr);
    clock->setCurrentIndex(clock->findText("Int. RC Osc. 8 MHz", Qt::MatchStartsWith));
    QCoreApplication::processEvents();  // one change, then the next, as the user makes them
    panel->bitBox(High, "EESAVE")->setChecked(true);
    QCoreApplication::processEvents();
    const QString low = Ui(*form).byteEditor(Low)->hexText(), high = Ui(*form).byteEditor(High)->hexText();
    EXPECT_EQ(high, "D1");
    EXPECT_TRUE(panel->findChild<QGroupBox *>("Settings_lfuse")->title().endsWith("changed, not written"));
    EXPECT_FALSE(panel->findChild<QGroupBox *>("Settings_lock")->property("unwritten").toBool());
    EXPECT_EQ(panel->changes(), (QList<QPair<QString, QString>>{{"lfuse", low}, {"hfuse", high}}));

    // Undo and redo, with the window's keys.
    form->show();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Ui(*form).byteEditor(High)->hexText(), "D9");
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexText(), low);
    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexText(), "E1");
    EXPECT_TRUE(panel->changes().isEmpty());
    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Ui(*form).byteEditor(High)->hexText(), "D1");

    // One Write: exactly the changed bytes, through the gate; then nothing is unwritten.
    Watch watch;
    ClickAndWait(panel->writeButton());
    const QStringList after = runs();
    ASSERT_EQ(after.size(), before.size() + 1);
    EXPECT_EQ(after.back(), QStringLiteral("-p m8 -c usbasp -U lfuse:w:0x%1:m -U hfuse:w:0x%2:m").arg(low, high));
    EXPECT_TRUE(panel->changes().isEmpty());
    EXPECT_FALSE(panel->findChild<QGroupBox *>("Settings_lfuse")->property("unwritten").toBool());

    // Typed in an editor, then back to what the chip holds.
    Ui(*form).byteEditor(Lock)->hexField()->setMaskedText("CF");
    EXPECT_EQ(panel->changes(), (QList<QPair<QString, QString>>{{"lock", "CF"}}));
    QTest::mouseClick(panel->findChild<QPushButton *>("BackToRead"), Qt::LeftButton);
    EXPECT_EQ(Ui(*form).byteEditor(Lock)->hexText(), "FF");
    EXPECT_EQ(Ui(*form).byteEditor(High)->hexText(), high) << "what was written is what the chip holds";
    EXPECT_TRUE(panel->changes().isEmpty());
}
