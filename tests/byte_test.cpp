// The Read and Write buttons against a stand-in tool that prints scripted output.
#include "tests/printing.h"
#include "app/form1.h"
#include "tests/helpers.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// A stand-in that records its arguments and prints `output` exactly.
StandIn Printing(const QString &output)
{
    QFile out(OwnDir() + "/output.txt");
    out.open(QIODevice::WriteOnly);
    out.write(output.toUtf8());
    return StandIn(QStringLiteral(R"(echo "$*" > "%1/args.txt"; cat "%1/output.txt")").arg(OwnDir()));
}

QString Args()
{
    QFile f(OwnDir() + "/args.txt");
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll()).trimmed();
}

const char *kAvrdude71 = "\navrdude: AVR device initialized and ready to accept instructions\n"
                         "avrdude: device signature = 0x1e9307 (probably m8)\navrdude: reading lfuse memory ...\n"
                         "avrdude: writing output file <stdout>\n%1\n\navrdude done.  Thank you.\n\n";
}  // namespace

TEST(ByteRead, ValueAtTheConfiguredLine)
{
    auto form = MakeForm();
    struct Row {
        const char *output;
        int index;
        const char *hex;
    } rows[] = {
        {"first\n255\nlast\n", 1, "FF"}, {"0\n", 0, "00"},   {"x\n5\n", 1, "05"},
        {"x\n 98\n", 1, "62"},           {"171 and text\n", 0, "AB"}, {"300\n", 0, "2C"},
        {"4096\n", 0, "00"},  // 100 settles at 00 through the editor's rules
    };
    for (const Row &r : rows) {
        form->MaskEdit30->SetText("11");
        StandIn tool = Printing(r.output);
        form->ReadLineIndex = r.index;
        QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
        EXPECT_EQ(form->MaskEdit30->Text(), r.hex) << r.output;
    }
    EXPECT_EQ(Args(), "-p m8 -c usbasp -U lfuse:r:-:d -D -q");
}

TEST(ByteRead, ValueElsewhereIsFoundOnItsOwnLine)
{
    auto form = MakeForm();
    StandIn tool = Printing(QString::fromLatin1(kAvrdude71).arg(225));
    for (int index : {1, 0, 6, 99, -1}) {
        form->MaskEdit40->SetText("00");
        form->ReadLineIndex = index;
        QTest::mouseClick(form->SpeedButton2, Qt::LeftButton);
        EXPECT_EQ(form->MaskEdit40->Text(), "E1") << index;
        EXPECT_EQ(form->MaskEdit41->Text(), "11100001");
    }
    EXPECT_EQ(Args(), "-p m8 -c usbasp -U hfuse:r:-:d -D -q");
}

TEST(ByteRead, AFailedReadChangesNothingAndSaysSo)
{
    auto form = MakeForm();
    form->MaskEdit50->SetText("3C");
    Watch watch;
    {
        StandIn tool = Printing("avrdude: error: program enable: target doesn't answer. 1\n\navrdude done.  Thank you.\n");
        form->ReadLineIndex = 0;
        QTest::mouseClick(form->SpeedButton3, Qt::LeftButton);
    }
    EXPECT_EQ(form->MaskEdit50->Text(), "3C");
    ASSERT_EQ(watch.messages.size(), 1u);
    EXPECT_EQ(watch.messages[0].text, "No value found in the output of the lock read.");
    EXPECT_EQ(watch.messages[0].title, "ATmega8");
    {
        StandIn tool = Printing("12\n13\n");  // two candidates and none at the index
        form->ReadLineIndex = 5;
        QTest::mouseClick(form->SpeedButton3, Qt::LeftButton);
    }
    EXPECT_EQ(form->MaskEdit50->Text(), "3C");
    EXPECT_EQ(watch.messages.size(), 2u);
    // No tool at all, not even along the PATH.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    QTest::mouseClick(form->SpeedButton6, Qt::LeftButton);
    qputenv("PATH", path);
    EXPECT_EQ(watch.messages.back().text, "The signature read failed: avrdude could not be started.");
    EXPECT_TRUE(form->Memo1->toPlainText().contains("not found"));
}

TEST(ByteRead, TheCommandStaysOnlyWhenTheValueDidNotChange)
{
    auto form = MakeForm();
    StandIn tool = Printing("171\n");
    form->ReadLineIndex = 0;
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(form->MaskEdit30->Text(), "AB");
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp ") << "a changed value rebuilds the main line";
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp -U lfuse:r:-:d -D -q ");
}

TEST(ByteRead, CalibrationAndSignature)
{
    auto form = MakeForm();
    form->Edit3->setText("main line");
    {
        StandIn tool = Printing("noise\n0xa5,0xa3,0xa4,0xa5\n");
        form->ReadLineIndex = 1;
        QTest::mouseClick(form->SpeedButton5, Qt::LeftButton);
        EXPECT_EQ(form->MaskEdit70->Text(), "A5A3A4A5");
        EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp -U calibration:r:-:h -D -q ");
    }
    {
        StandIn tool = Printing("0xa5\n");
        form->ReadLineIndex = 0;
        QTest::mouseClick(form->SpeedButton5, Qt::LeftButton);
        EXPECT_EQ(form->MaskEdit70->Text(), "A5000000") << "a partial line";
    }
    {
        form->Edit3->setText("main line");
        StandIn tool = Printing(QString::fromLatin1(kAvrdude71).arg("0x1e,0x93,0x7"));
        form->DeviceComboBox->SetText("ATmega644");  // a device outside the table keeps the signature
        form->Edit3->setText("main line");
        QTest::mouseClick(form->SpeedButton6, Qt::LeftButton);
        EXPECT_EQ(form->MaskEdit80->Text(), "1E9307");
        EXPECT_EQ(form->Edit3->text(), "main line") << "the signature read composes out of sight";
        EXPECT_EQ(form->Edit5->text(), "avrdude.exe -p  -c usbasp -U signature:r:-:h -D -q ");
    }
    {
        StandIn tool = Printing("0X1E,0x93,0x07\n");
        Watch watch;
        QTest::mouseClick(form->SpeedButton6, Qt::LeftButton);
        EXPECT_EQ(form->MaskEdit80->Text(), "1E9307") << "capital X: no value, nothing changes";
        EXPECT_EQ(watch.messages.size(), 1u);
    }
}

TEST(ByteWrite, CommandsCarryTheHexFieldsText)
{
    auto form = MakeForm();
    StandIn tool = Printing("avrdude done.  Thank you.\n");
    form->MaskEdit30->SetText("E1");
    QTest::mouseClick(form->SpeedButton7, Qt::LeftButton);
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp -U lfuse:w:0xE1:m ");
    EXPECT_EQ(Args(), "-p m8 -c usbasp -U lfuse:w:0xE1:m");
    EXPECT_EQ(form->Memo1->toPlainText(), "avrdude done.  Thank you.\n");
    EXPECT_EQ(form->MaskEdit30->Text(), "E1");

    form->CheckBox2->setChecked(true);
    form->FlashWrite->setChecked(true);
    form->CheckBox15->setChecked(true);
    form->Edit4->setText("-B 4");
    form->MaskEdit70->SetText("A1B2C3D4");
    QTest::mouseClick(form->SpeedButton11, Qt::LeftButton);
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp -e -E vcc -B 4-U calibration:w:0xA1B2C3D4:m ");

    form->Edit4->setText("");
    form->CheckBox2->setChecked(false);
    form->CheckBox15->setChecked(false);
    form->MaskEdit40->SetText("");
    form->MaskEdit40->SetText("5");  // only the first position filled
    Watch watch;
    watch.answer = true;  // 05 programs RSTDISBL: the user says "Write anyway"
    QTest::mouseClick(form->SpeedButton8, Qt::LeftButton);
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp -U hfuse:w:0x05:m ")
        << "5 alone reads as 5 and the editor writes it as 05";
    EXPECT_EQ(watch.questions.size(), 1u);
    // A value that is not two hex digits is not written, and the command line stays as it was.
    form->MaskEdit50->SetText("00");
    form->MaskEdit50->SetText("_0");
    QTest::mouseClick(form->SpeedButton9, Qt::LeftButton);
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp -U hfuse:w:0x05:m ");
    form->MaskEdit60->SetText("G1");
    QTest::mouseClick(form->SpeedButton10, Qt::LeftButton);
    EXPECT_EQ(form->Edit3->text(), "avrdude.exe -p m8 -c usbasp -U hfuse:w:0x05:m ");
    ASSERT_EQ(watch.messages.size(), 2u);
    EXPECT_EQ(watch.messages[0].text, "The lock value \" 0\" is not two hexadecimal digits.");
    EXPECT_EQ(watch.messages[1].text, "The extended fuse value \"G1\" is not two hexadecimal digits.");
}

TEST(ByteRead, RealAvrdudeWithNoProgrammerLeavesTheFieldAndSaysSo)
{
    auto form = MakeForm();  // usbasp, and no USB programmer on this machine
    form->MaskEdit30->SetText("E1");
    Watch watch;
    QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
    EXPECT_TRUE(form->Memo1->toPlainText().contains("usbasp")) << form->Memo1->toPlainText().toStdString();
    EXPECT_EQ(form->MaskEdit30->Text(), "E1");
    ASSERT_EQ(watch.messages.size(), 1u);
    EXPECT_EQ(watch.messages[0].text, "The low fuse read failed: avrdude ended with exit code 1.");
}
