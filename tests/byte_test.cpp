// The Read and Write buttons against a stand-in tool that prints scripted output.
#include "tests/printing.h"
#include "window/main_window.h"
#include "tests/helpers.h"

#include <QFile>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
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
        {"x\n 98\n", 1, "62"},           {"171 and text\n", 0, "AB"},
        // Not a byte: nothing changes, and the user is told (cut to a byte they became 2C, 00, 0F).
        {"300\n", 0, "11"}, {"4096\n", 0, "11"}, {"-1\n", 0, "11"},
    };
    for (const Row &r : rows) {
        Ui(*form).byteEditor(Low)->hexField()->setMaskedText("11");
        StandIn tool = Printing(r.output);
        form->session().setReadLine(r.index);
        Watch watch;
        ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
        EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), r.hex) << r.output;
        const bool refused = QString(r.hex) == "11";
        EXPECT_TRUE(watch.messages.empty()) << r.output;
        EXPECT_EQ(Ui(*form).runStrip->failed(), refused) << r.output;
        if (refused)
            EXPECT_TRUE(Ui(*form).runStrip->text().contains("which is not a byte (0 to 255)")) << r.output;
        else  // what the read found, beside what was shown before; the field marked for a moment
            EXPECT_TRUE(Ui(*form).runStrip->text().startsWith(QStringLiteral("Low fuse: %1, was 11 (avrdude finished").arg(r.hex)))
                << Ui(*form).runStrip->text().toStdString();
        if (!refused)
            EXPECT_TRUE(Ui(*form).byteEditor(Low)->hexField()->property("justRead").toBool()) << r.output;
    }
    StandIn tool = Printing("0\n");
    form->session().setReadLine(0);
    ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
    ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
    EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("Low fuse: 00, as shown")) << Ui(*form).runStrip->text().toStdString();
    EXPECT_EQ(Args(), "-p m8 -c usbasp -U lfuse:r:-:d -D -q");
}

TEST(ByteRead, ValueElsewhereIsFoundOnItsOwnLine)
{
    auto form = MakeForm();
    StandIn tool = Printing(QString::fromLatin1(kAvrdude71).arg(225));
    for (int index : {1, 0, 6, 99, -1}) {
        Ui(*form).byteEditor(High)->hexField()->setMaskedText("00");
        form->session().setReadLine(index);
        ClickAndWait(Ui(*form).byteEditor(High)->readButton());
        EXPECT_EQ(Ui(*form).byteEditor(High)->hexField()->maskedText(), "E1") << index;
        EXPECT_EQ(Ui(*form).byteEditor(High)->binaryField()->maskedText(), "11100001");
    }
    EXPECT_EQ(Args(), "-p m8 -c usbasp -U hfuse:r:-:d -D -q");
}

TEST(ByteRead, AFailedReadChangesNothingAndSaysSo)
{
    auto form = MakeForm();
    Ui(*form).byteEditor(Lock)->hexField()->setMaskedText("3C");
    Watch watch;
    {
        StandIn tool = Printing("avrdude: error: program enable: target doesn't answer. 1\n\navrdude done.  Thank you.\n");
        form->session().setReadLine(0);
        ClickAndWait(Ui(*form).byteEditor(Lock)->readButton());
    }
    EXPECT_EQ(Ui(*form).byteEditor(Lock)->hexField()->maskedText(), "3C");
    // Told once, in the run strip, and no box.
    EXPECT_TRUE(watch.messages.empty());
    EXPECT_EQ(Ui(*form).runStrip->text(), "No value found in the output of the lock read.");
    EXPECT_TRUE(Ui(*form).runStrip->failed());
    {
        StandIn tool = Printing("12\n13\n");  // two candidates and none at the index
        form->session().setReadLine(5);
        ClickAndWait(Ui(*form).byteEditor(Lock)->readButton());
    }
    EXPECT_EQ(Ui(*form).byteEditor(Lock)->hexField()->maskedText(), "3C");
    EXPECT_TRUE(watch.messages.empty());
    // No tool at all, not even along the PATH.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    ClickAndWait(Ui(*form).signatureRead);
    qputenv("PATH", path);
    EXPECT_TRUE(watch.messages.empty());
    EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("Could not start")) << Ui(*form).runStrip->text().toStdString();
    EXPECT_TRUE(Ui(*form).outputPane->outputText().contains("not found"));
}

TEST(ByteRead, TheCommandStaysOnlyWhenTheValueDidNotChange)
{
    auto form = MakeForm();
    StandIn tool = Printing("171\n");
    form->session().setReadLine(0);
    ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "AB");
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp ") << "a changed value rebuilds the main line";
    ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -U lfuse:r:-:d -D -q ");
}

TEST(ByteRead, CalibrationAndSignature)
{
    auto form = MakeForm();
    Ui(*form).commandLine->setText("main line");
    {
        StandIn tool = Printing("noise\n0xa5,0xa3,0xa4,0xa5\n");
        form->session().setReadLine(1);
        ClickAndWait(Ui(*form).calibrationRead);
        EXPECT_EQ(Ui(*form).calibrationField->maskedText(), "A5A3A4A5");
        EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -U calibration:r:-:h -D -q ");
    }
    {
        StandIn tool = Printing("0xa5\n");
        form->session().setReadLine(0);
        ClickAndWait(Ui(*form).calibrationRead);
        EXPECT_EQ(Ui(*form).calibrationField->maskedText(), "A5000000") << "a partial line";
    }
    {
        StandIn tool = Printing("0xa5,0x1a3\n");
        Watch watch;
        ClickAndWait(Ui(*form).calibrationRead);
        EXPECT_EQ(Ui(*form).calibrationField->maskedText(), "A5000000") << "0x1a3 is no byte: nothing changes";
        EXPECT_TRUE(watch.messages.empty());
        EXPECT_TRUE(Ui(*form).runStrip->text().contains("not a byte")) << Ui(*form).runStrip->text().toStdString();
    }
    {
        Ui(*form).commandLine->setText("main line");
        StandIn tool = Printing(QString::fromLatin1(kAvrdude71).arg("0x1e,0x93,0x7"));
        Ui(*form).deviceBox->setEditText("ATmega644");  // a device outside the table keeps the signature
        Ui(*form).commandLine->setText("main line");
        ClickAndWait(Ui(*form).signatureRead);
        EXPECT_EQ(Ui(*form).signatureField->maskedText(), "1E9307");
        EXPECT_EQ(Ui(*form).commandLine->text(), "main line") << "the signature read composes out of sight";
        EXPECT_EQ(Args(), "-p -c usbasp -U signature:r:-:h -D -q");
    }
    {
        StandIn tool = Printing("0X1E,0x93,0x07\n");
        Watch watch;
        ClickAndWait(Ui(*form).signatureRead);
        EXPECT_EQ(Ui(*form).signatureField->maskedText(), "1E9307") << "capital X: no value, nothing changes";
        EXPECT_TRUE(watch.messages.empty());
        EXPECT_TRUE(Ui(*form).runStrip->failed()) << Ui(*form).runStrip->text().toStdString();
    }
}

TEST(ByteWrite, CommandsCarryTheHexFieldsText)
{
    auto form = MakeForm();
    StandIn tool = Printing("avrdude done.  Thank you.\n");
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("E1");
    ClickAndWait(Ui(*form).byteEditor(Low)->writeButton());
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -U lfuse:w:0xE1:m ");
    EXPECT_EQ(Args(), "-p m8 -c usbasp -U lfuse:w:0xE1:m");
    EXPECT_EQ(Ui(*form).outputPane->outputText(), "avrdude done.  Thank you.\n");
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "E1");

    Ui(*form).chipEraseBox->setChecked(true);
    Ui(*form).flashWrite->setChecked(true);
    Ui(*form).vccBox->setChecked(true);
    Ui(*form).extraOptions->setText("-B 4");
    Ui(*form).calibrationField->setMaskedText("A1B2C3D4");
    ClickAndWait(Ui(*form).calibrationWrite);
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -e -E vcc -B 4 -U calibration:w:0xA1B2C3D4:m ")
        << "extra options without a trailing blank are kept apart from the operation";

    Ui(*form).extraOptions->setText("");
    Ui(*form).chipEraseBox->setChecked(false);
    Ui(*form).vccBox->setChecked(false);
    Ui(*form).byteEditor(High)->hexField()->setMaskedText("");
    Ui(*form).byteEditor(High)->hexField()->setMaskedText("5");  // only the first position filled
    Watch watch;
    watch.answer = true;  // 05 programs RSTDISBL: the user says "Write anyway"
    ClickAndWait(Ui(*form).byteEditor(High)->writeButton());
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -U hfuse:w:0x05:m ")
        << "5 alone reads as 5 and the editor writes it as 05";
    EXPECT_EQ(watch.questions.size(), 1u);
    // A value that is not two hex digits is not written, and the command line stays as it was.
    Ui(*form).byteEditor(Lock)->hexField()->setMaskedText("00");
    Ui(*form).byteEditor(Lock)->hexField()->setMaskedText("_0");
    ClickAndWait(Ui(*form).byteEditor(Lock)->writeButton());
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -U hfuse:w:0x05:m ");
    Ui(*form).byteEditor(Extended)->hexField()->setMaskedText("G1");
    ClickAndWait(Ui(*form).byteEditor(Extended)->writeButton());
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -U hfuse:w:0x05:m ");
    ASSERT_EQ(watch.messages.size(), 2u);
    EXPECT_EQ(watch.messages[0].text, "The lock value \" 0\" is not two hexadecimal digits.");
    EXPECT_EQ(watch.messages[1].text, "The extended fuse value \"G1\" is not two hexadecimal digits.");
}

TEST(ByteRead, RealAvrdudeWithNoProgrammerLeavesTheFieldAndSaysSo)
{
    auto form = MakeForm();  // usbasp, and no USB programmer on this machine
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("E1");
    Watch watch;
    ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
    EXPECT_TRUE(Ui(*form).outputPane->outputText().contains("usbasp")) << Ui(*form).outputPane->outputText().toStdString();
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "E1");
    EXPECT_TRUE(watch.messages.empty()) << "the strip says it, with its advice; no box over it";
    EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("avrdude failed (exit code 1)")) << Ui(*form).runStrip->text().toStdString();
}

// 20 MB of output in lines of half a megabyte: the read still finds its value, and the pane holds
// every line of it.
TEST(ByteRead, OutputOfManyMegabytesIsKeptWhole)
{
    auto form = MakeForm();
    StandIn tool("echo 225; i=0; while [ $i -lt 40 ]; do head -c 500000 /dev/zero | tr '\\0' 'x'; echo; "
                 "i=$((i+1)); done; echo last line");
    form->session().setReadLine(0);
    ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "E1");
    widgets::OutputPane *pane = Ui(*form).outputPane;
    EXPECT_EQ(pane->store().size(), 4 + 40 * 500001 + 10);
    ASSERT_EQ(pane->lineCount(), 43) << "225, 40 long lines, the last line and the empty one after it";
    EXPECT_EQ(pane->lineText(40), QString(500000, u'x'));
    EXPECT_EQ(pane->lineText(41), "last line");
    EXPECT_EQ(pane->caretLine(), 0) << "a read's output shows from its start";
}
