// Writes that could lock a chip out ask first, half-typed values are never written, and a failed read
// sets nothing.
#include "tests/printing.h"
#include "window/main_window.h"
#include "compose/installed.h"
#include "fuses/device_meanings.h"
#include "fuses/fuse_safety.h"
#include "tests/helpers.h"

#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A stand-in that appends its arguments to runs.log, prints "225" and ends with `exitCode`.
StandIn Logging(int exitCode = 0)
{
    QFile::remove(OwnDir() + "/runs.log");
    return StandIn(QStringLiteral(R"(echo "$*" >> "%1/runs.log"; printf '\n\n\n\n\n225\n'; exit %2)")
                       .arg(OwnDir())
                       .arg(exitCode));
}

QStringList Runs()
{
    QFile log(OwnDir() + "/runs.log");
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts)
                                         : QStringList();
}

// group 0 low fuse ... 3 extended; `part`: what the installed avrdude says of the device.
QStringList Risks(const char *device, int group, unsigned value, const compose::InstalledPart *part = nullptr)
{
    QStringList names;
    for (const QString &risk :
         fuses::LockOutRisks(fuses::LookupFuseLayout(QString::fromLatin1(device), part), fuses::AllFuseBytes[group], value))
        names << risk.section(u':', 0, 0);
    return names;
}

}  // namespace

TEST(FuseSafety, WhichValuesAreCompleteAndWhichBitsLockTheChipOut)
{
    for (const char *ok : {"00", "D9", "ff", "E1"})
        EXPECT_TRUE(fuses::IsCompleteByte(QString::fromLatin1(ok))) << ok;
    for (const char *bad : {"", "A", " 0", "0 ", "G1", "0x1", "123"})
        EXPECT_FALSE(fuses::IsCompleteByte(QString::fromLatin1(bad))) << bad;
    for (const char *ok : {"A", "A1B2C3D4", "0"})
        EXPECT_TRUE(fuses::IsCalibrationValue(QString::fromLatin1(ok))) << ok;
    for (const char *bad : {"", "A1 B2", "A1B2C3D4E", "ZZ"})
        EXPECT_FALSE(fuses::IsCalibrationValue(QString::fromLatin1(bad))) << bad;

    EXPECT_EQ(Risks("ATmega8", 1, 0xD9), QStringList{});
    EXPECT_EQ(Risks("ATmega8", 1, 0x00), QStringList{"RSTDISBL"});
    EXPECT_EQ(Risks("ATmega8", 1, 0xFF), QStringList{"SPIEN"});
    EXPECT_EQ(Risks("ATmega8", 0, 0x00), QStringList{}) << "the low fuse names none of them";
    EXPECT_EQ(Risks("ATmega88", 1, 0x1F), (QStringList{"RSTDISBL", "DWEN"}));
    EXPECT_EQ(Risks("ATtiny13", 1, 0xFE), QStringList{"RSTDISBL"}) << "RSTDISBL is bit 0 there";
    EXPECT_EQ(Risks("ATmega8", 2, 0xFC), QStringList{"LB1 and LB2 (lock mode 3)"});
    EXPECT_EQ(Risks("ATmega8", 2, 0xFE), QStringList{"LB1 (lock mode 2)"}) << "further programming disabled";
    EXPECT_EQ(Risks("ATmega8", 2, 0xCF), QStringList{}) << "boot lock bits alone, as the Arduino bootloaders set them";
    EXPECT_EQ(Risks("ATmega9999", 1, 0x00), QStringList{}) << "a device without names gets no guard";
    // A part of the installed avrdude, its bits named after avr-libc.
    const compose::InstalledPart m328p{"ATmega328P", "m328p", "1E950F", {{"lfuse", 1, 0}, {"hfuse", 1, 0}, {"efuse", 1, 0}, {"lock", 1, 0}}, {}};
    EXPECT_EQ(Risks("ATmega328P", 1, 0x99, &m328p), QStringList{"DWEN"});
    EXPECT_EQ(Risks("ATmega328P", 1, 0xD9, &m328p), QStringList{});
}

TEST(FuseSafety, TheWindowAsksBeforeALockOutAndRunsNothingOnCancel)
{
    StandIn tool = Logging();
    auto form = MakeForm();
    Watch watch;
    Ui(*form).byteEditor(High)->hexField()->setMaskedText("D9");  // the ATmega8's usual high fuse: written at once
    ClickAndWait(Ui(*form).byteEditor(High)->writeButton());
    EXPECT_TRUE(watch.questions.empty());
    EXPECT_EQ(Runs(), QStringList{"-p m8 -c usbasp -U hfuse:w:0xD9:m"});

    Ui(*form).byteEditor(High)->hexField()->setMaskedText("00");
    ClickAndWait(Ui(*form).byteEditor(High)->writeButton());  // Cancel
    ASSERT_EQ(watch.questions.size(), 1u);
    EXPECT_TRUE(watch.questions[0].startsWith("Writing 00 to the high fuse of the ATmega8 cannot easily be undone"));
    EXPECT_TRUE(watch.questions[0].contains("RSTDISBL: the reset pin becomes an I/O pin"));
    EXPECT_TRUE(watch.questions[0].contains("Value as last read: not read\nNew value: 00"));
    EXPECT_EQ(Runs().size(), 1) << "Cancel runs nothing";

    // After a read the question shows the value read; "Write anyway" runs the design's command.
    Ui(*form).byteEditor(High)->hexField()->setMaskedText("D9");
    form->session().setReadLine(5);
    ClickAndWait(Ui(*form).byteEditor(High)->readButton());  // reads 225, E1
    ASSERT_EQ(Ui(*form).byteEditor(High)->hexField()->maskedText(), "E1");
    Ui(*form).byteEditor(High)->hexField()->setMaskedText("00");
    watch.answer = true;
    ClickAndWait(Ui(*form).byteEditor(High)->writeButton());
    ASSERT_EQ(watch.questions.size(), 2u);
    EXPECT_TRUE(watch.questions[1].contains("Value as last read: E1\nNew value: 00"));
    EXPECT_EQ(Runs().back(), "-p m8 -c usbasp -U hfuse:w:0x00:m");
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -U hfuse:w:0x00:m ");

    // Lock bits that forbid programming ask too; so does every write to a part without bit names.
    watch.answer = false;
    Ui(*form).byteEditor(Lock)->hexField()->setMaskedText("FC");
    ClickAndWait(Ui(*form).byteEditor(Lock)->writeButton());
    ASSERT_EQ(watch.questions.size(), 3u);
    EXPECT_TRUE(watch.questions[2].contains("only a chip erase clears them"));
    Ui(*form).deviceBox->setEditText("ATmega9999");
    const int runs = static_cast<int>(Runs().size());
    Ui(*form).byteEditor(High)->hexField()->setMaskedText("D9");
    ClickAndWait(Ui(*form).byteEditor(High)->writeButton());
    ASSERT_EQ(watch.questions.size(), 4u);
    EXPECT_TRUE(watch.questions[3].contains("Fusewerk has no bit names for part \"-c\": the value cannot be checked"))
        << watch.questions[3].toStdString();
    EXPECT_EQ(Runs().size(), runs) << "Cancel runs nothing";
}

TEST(FuseSafety, HalfTypedValuesAreNeverWritten)
{
    StandIn tool = Logging();
    auto form = MakeForm();
    Watch watch;
    form->show();
    form->activateWindow();
    Ui(*form).byteEditor(Low)->hexField()->setFocus();
    // The user deletes the first digit of 00 (the value stays 0, so nothing fills the gap again); the
    // Write button takes no focus, so the check on leaving the field never runs.
    QTest::keyClick(Ui(*form).byteEditor(Low)->hexField(), Qt::Key_Home);
    QTest::keyClick(Ui(*form).byteEditor(Low)->hexField(), Qt::Key_Delete);
    ASSERT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), " 0");
    const QString line = Ui(*form).commandLine->text();
    ClickAndWait(Ui(*form).byteEditor(Low)->writeButton());
    Ui(*form).calibrationField->setMaskedText("A1 B2");
    ClickAndWait(Ui(*form).calibrationWrite);
    EXPECT_TRUE(Runs().isEmpty());
    EXPECT_EQ(Ui(*form).commandLine->text(), line);
    ASSERT_EQ(watch.messages.size(), 2u);
    EXPECT_EQ(watch.messages[0].text, "The low fuse value \" 0\" is not two hexadecimal digits.");
    EXPECT_EQ(watch.messages[1].text, "The calibration value \"A1 B2\" is not one to eight hexadecimal digits.");
}

TEST(FuseSafety, AReadTakesAValueOnlyFromARunThatSucceeded)
{
    auto form = MakeForm();
    form->session().setReadLine(5);
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("3C");
    Watch watch;
    {
        StandIn tool = Logging(1);
        ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
    }
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "3C");
    EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("avrdude failed (exit code 1)")) << Ui(*form).runStrip->text().toStdString();
    {
        StandIn tool = Logging(0);
        ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
    }
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "E1");
    {
        StandIn tool(R"(printf '\n\n\n\n\n225\n'; kill -9 $$)");  // killed by a signal: no value either
        Ui(*form).byteEditor(Low)->hexField()->setMaskedText("3C");
        ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
    }
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "3C");
    EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("avrdude was ended by signal 9")) << Ui(*form).runStrip->text().toStdString();
    EXPECT_TRUE(watch.messages.empty()) << "a failure is told once, in the strip";
}

TEST(FuseMeanings, KnownValuesDecodeAsTheirDatasheetsSay)
{
    const auto explain = [](const char *part, fuses::FuseByte byte, unsigned value) {
        const fuses::MeaningDevice *device = fuses::FindMeanings(QString::fromLatin1(part));
        EXPECT_NE(device, nullptr) << part;
        return device ? fuses::ExplainLines(*fuses::RegisterOf(*device, byte), value).join('\n') : QString();
    };
    const struct Row {
        const char *part;
        fuses::FuseByte byte;
        unsigned value;
        QStringList says;
    } rows[] = {
        {"ATmega8", Low, 0xE1, {"SUT_CKSEL = 0x21: Int. RC Osc. 1 MHz; Start-up time: 6 CK + 64 ms", "BODEN = 1 (unprogrammed)"}},
        {"ATmega8", High, 0xD9, {"BOOTSZ = 0x00: Boot Flash size=1024 words", "SPIEN = 0 (programmed)"}},
        {"atmega328p", Low, 0x62, {"CKDIV8 = 0 (programmed)", "Int. RC Osc. 8 MHz; Start-up time PWRDWN/RESET: 6 CK/14 CK + 65 ms"}},
        {"ATmega328P", High, 0xD9, {"BOOTSZ = 0x00: Boot Flash size=2048 words", "DWEN = 1 (unprogrammed)"}},
        {"ATmega328P", Extended, 0xFF, {"BODLEVEL = 0x07: Brown-out detection disabled"}},
        {"ATmega328P", Low, 0xFF, {"SUT_CKSEL = 0x3F: Ext. Crystal Osc. 8.0-", "CKDIV8 = 1 (unprogrammed)"}},
        {"ATmega328P", High, 0xDE, {"BOOTSZ = 0x03: Boot Flash size=256 words", "BOOTRST = 0 (programmed)"}},
        {"ATmega328P", Extended, 0xFD, {"BODLEVEL = 0x05: Brown-out detection at VCC=2.7 V"}},
        {"ATmega328P", Extended, 0xF8, {"BODLEVEL = 0x00: 0x00 (not a listed setting)"}},
        {"ATtiny85", Low, 0x62, {"Int. RC Osc. 8 MHz; Start-up time PWRDWN/RESET: 6 CK/14 CK + 64 ms"}},
        {"ATtiny85", High, 0xDF, {"BODLEVEL = 0x07: Brown-out detection disabled", "RSTDISBL = 1 (unprogrammed)"}},
        {"ATtiny85", Extended, 0xFF, {"SELFPRGEN = 1 (unprogrammed)"}},
    };
    for (const Row &r : rows)
        for (const QString &said : r.says)
            EXPECT_TRUE(explain(r.part, r.byte, r.value).contains(said)) << r.part << " " << r.value << ": " << said.toStdString();
    EXPECT_EQ(fuses::FindMeanings(u"ATmega9999"), nullptr);
}

TEST(FuseSafety, AnExternalClockAsksNamingBothSettings)
{
    StandIn tool = Logging();
    WindowDeps deps;  // the ATmega328P as the installed avrdude knows it
    deps.vocabulary.parts = {{"ATmega328P", "m328p", "1E950F", {{"lfuse", 1, 0}, {"hfuse", 1, 0}, {"efuse", 1, 0}, {"lock", 1, 0}}, {}}};
    auto form = MakeForm("ATmega328P", "usbasp", deps);
    Watch watch;  // Cancel
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("FF");
    ClickAndWait(Ui(*form).byteEditor(Low)->writeButton());
    ASSERT_EQ(watch.questions.size(), 1u);
    EXPECT_TRUE(watch.questions[0].contains("Clock source: from \"not read\" to \"Ext. Crystal Osc. 8.0-"))
        << watch.questions[0].toStdString();
    EXPECT_TRUE(Runs().isEmpty()) << "Cancel runs nothing";

    StandIn reads(QStringLiteral("echo 98"));  // the factory's 62
    ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
    ASSERT_EQ(Ui(*form).byteEditor(Low)->hexText(), "62");
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("FF");
    ClickAndWait(Ui(*form).byteEditor(Low)->writeButton());
    ASSERT_EQ(watch.questions.size(), 2u);
    EXPECT_TRUE(watch.questions[1].contains("from \"Int. RC Osc. 8 MHz; Start-up time PWRDWN/RESET: 6 CK/14 CK + 65 ms\""))
        << watch.questions[1].toStdString();
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("E2");  // another internal setting: no question
    StandIn logs = Logging();
    ClickAndWait(Ui(*form).byteEditor(Low)->writeButton());
    EXPECT_EQ(watch.questions.size(), 2u);
    EXPECT_EQ(Runs().size(), 1);
}
