// The window: every change shows the composed line at once.
#include "tests/printing.h"
#include "app/form1.h"
#include "compose/vocabulary.h"
#include "tests/helpers.h"

#include <QGuiApplication>
#include <QTest>
#include <gtest/gtest.h>

TEST(Window, StartsWithEveryControlAndTheDesignedCaptions)
{
    SettingsFile none;
    TForm1 form;
    EXPECT_EQ(form.size(), QSize(626, 683 + widgets::RunStrip::kHeight)) << "the run strip below the design's window";
    EXPECT_EQ(form.pos(), QPoint(10, 10));
    EXPECT_EQ(form.DeviceComboBox->count(), 27);
    EXPECT_EQ(form.ProgComboBox->count(), 40);
    ASSERT_GE(form.PortComboBox->count(), 14);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(form.PortComboBox->itemText(i), compose::PortList()[i]);
    EXPECT_EQ(form.PortComboBox->itemText(form.PortComboBox->count() - 1), "usb");
    EXPECT_EQ(form.ComboBox4->count(), 4);
    EXPECT_EQ(form.ComboBox5->itemText(3), "Immediate mode");
    EXPECT_EQ(form.CheckBox7->text(), "-F Verify the device signature");
    EXPECT_EQ(form.CheckBox11->text(), "-V Disable verify check");
    EXPECT_EQ(form.GroupBox9->title(), "-E Exitmode");
    EXPECT_EQ(form.Group(5).box->title(), "Lock Fuse Byte");
    EXPECT_EQ(form.BitBtn1->text(), "Execute");
    EXPECT_FALSE(form.Edit5->isVisibleTo(&form));
    EXPECT_EQ(form.Memo1->geometry(), QRect(3, 525, 622, 155));
    for (int g = 3; g <= 6; ++g)
        for (int k = 0; k < 8; ++k)
            EXPECT_FALSE(form.BitBox(g, k)->text().isEmpty());
}

TEST(Window, NoSettingsFileGivesTheEmptyFirstEntries)
{
    SettingsFile none;
    TForm1 form;
    EXPECT_EQ(form.DeviceComboBox->Text(), "");
    EXPECT_EQ(form.ProgComboBox->Text(), "");
    EXPECT_EQ(form.PortComboBox->Text(), "");
    EXPECT_EQ(form.ComboBox4->Text(), "Intel Hex");
    EXPECT_EQ(form.ComboBox5->Text(), "Intel Hex");
    EXPECT_EQ(form.Edit3->text(), "avrdude.exe ");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "");
    EXPECT_EQ(form.windowTitle(), "Fusewerk 1");
}

TEST(Window, EveryKindOfChangeRebuildsTheLine)
{
    auto form = MakeForm();
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp ");
    form->PortComboBox->setCurrentIndex(4);  // a pick from the list
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp -P com1 ");
    QTest::mouseClick(form->CheckBox2, Qt::LeftButton);
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp -P com1 -e ");
    form->FlashWrite->setChecked(true);  // a change made by code fires like a click
    EXPECT_EQ(form->Edit3->text(), R"(avrdude.exe -p m8 -c usbasp -P com1 -e -U flash:w:"":i )");
    form->ComboBox4->setCurrentIndex(2);
    EXPECT_EQ(form->Edit3->text(), R"(avrdude.exe -p m8 -c usbasp -P com1 -e -U flash:w:"":r )");
    form->EEPROMWrite->setChecked(true);
    form->EEPROMVerify->setChecked(true);
    EXPECT_TRUE(form->Edit3->text().endsWith(R"(-U eeprom:w:"":i -U eeprom:v:"":i )"));
    EXPECT_EQ(form->Edit3->text().count("eeprom:w"), 1);
}

TEST(Window, TypingRebuildsAfterEveryKeystroke)
{
    auto form = MakeForm();
    form->FlashRead->setChecked(true);
    form->Edit1->setFocus();
    QStringList seen;
    for (QChar c : QString("b.hex")) {
        QTest::keyClick(form->Edit1, c.toLatin1());
        seen << form->Edit3->text();
    }
    EXPECT_EQ(seen.front(), R"(avrdude.exe -p m8 -c usbasp -U flash:r:"b":i )");
    EXPECT_EQ(seen.back(), R"(avrdude.exe -p m8 -c usbasp -U flash:r:"b.hex":i )");
    TypeInto(form->Edit4, "-B 4");
    EXPECT_TRUE(form->Edit3->text().endsWith(R"(:i -B 4)"));
}

TEST(Window, TypedDeviceIsComparedExactlyAndBecomesTheTitle)
{
    auto form = MakeForm(QString());
    QLineEdit *edit = form->DeviceComboBox->lineEdit();
    TypeInto(edit, "atmega8");
    EXPECT_EQ(form->DeviceComboBox->Text(), "atmega8") << "no completion to ATmega8";
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p  -c usbasp ");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "atmega8");
    edit->clear();
    TypeInto(edit, "ATmega8");
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp ");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "ATmega8");
}

TEST(Window, HandEditSurvivesUntilTheNextChange)
{
    auto form = MakeForm();
    form->Edit3->setText("avrdude.exe -p m8 -c usbasp -t");
    form->CheckBox13->setChecked(false);  // unchanged: nothing runs
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp -t");
    QTest::mouseClick(form->CheckBox9, Qt::LeftButton);
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp -q ");
}

TEST(Window, ExitModePairsExcludeEachOther)
{
    auto form = MakeForm();
    QTest::mouseClick(form->CheckBox14, Qt::LeftButton);
    QTest::mouseClick(form->CheckBox13, Qt::LeftButton);
    EXPECT_TRUE(form->CheckBox13->isChecked());
    EXPECT_FALSE(form->CheckBox14->isChecked());
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp -E reset ");
    QTest::mouseClick(form->CheckBox13, Qt::LeftButton);
    EXPECT_FALSE(form->CheckBox13->isChecked());
    EXPECT_FALSE(form->CheckBox14->isChecked());
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp ");
    form->CheckBox15->setChecked(true);
    form->CheckBox16->setChecked(true);
    form->CheckBox13->setChecked(true);
    EXPECT_FALSE(form->CheckBox15->isChecked());
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp -E reset -E novcc ");
}

TEST(Window, ItemIndexSetByCodeFiresNothingAndKeepsTheTextAtMinusOne)
{
    auto form = MakeForm();
    form->Edit3->setText("hand");
    form->DeviceComboBox->SetItemIndex(-1);
    EXPECT_EQ(form->DeviceComboBox->Text(), "ATmega8");
    form->DeviceComboBox->SetItemIndex(5);
    EXPECT_EQ(form->DeviceComboBox->Text(), "AT90S4434");
    EXPECT_EQ(form->Edit3->text(), "hand");
    form->DeviceComboBox->SetItemIndex(99);
    EXPECT_EQ(form->DeviceComboBox->Text(), "");
    EXPECT_EQ(form->DeviceComboBox->ItemIndex(), -1);
}

TEST(Window, BrowseButtonsFillTheFileNames)
{
    auto form = MakeForm();
    QString askedDir, askedFilter;
    QString answer = "/tmp/flash image.hex";
    form->OpenDialog1 = [&](const QString &dir, const QString &filter) {
        askedDir = dir;
        askedFilter = filter;
        return answer;
    };
    form->FlashWrite->setChecked(true);
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(askedDir, OwnDir() + "/");
    EXPECT_EQ(askedFilter, "*.hex ; *.rom ; *.bin (*.hex *.rom *.bin);;*.* (*)");
    EXPECT_EQ(form->Edit1->text(), "/tmp/flash image.hex");
    EXPECT_TRUE(form->Edit3->text().contains(R"(flash:w:"/tmp/flash image.hex":i)"));

    QTest::mouseClick(form->Button1, Qt::LeftButton);
    EXPECT_EQ(askedDir, "/tmp/");
    form->Edit2->setText("bare.eep");
    answer.clear();  // cancelled: nothing changes
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    EXPECT_EQ(askedDir, OwnDir() + "/");
    EXPECT_EQ(form->Edit2->text(), "bare.eep");
}

TEST(Window, MemoFollowsTheWindowHeight)
{
    auto form = MakeForm();
    form->show();
    form->resize(626, 783 + widgets::RunStrip::kHeight);
    EXPECT_EQ(form->Memo1->geometry(), QRect(3, 525, 622, 255));
    form->resize(700, 683 + widgets::RunStrip::kHeight);
    EXPECT_EQ(form->Memo1->geometry(), QRect(3, 525, 622, 155));
}
