// The gate every run passes: fuse and lock writes judged against the line's own part, whichever
// button starts the run; images checked before anything can erase the chip; bootloader programmers.
#include "tests/printing.h"
#include "app/form1.h"
#include "compose/installed.h"
#include "tests/helpers.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

StandIn Logging()
{
    QFile::remove(OwnDir() + "/runs.log");
    return StandIn(QStringLiteral(R"(echo "$*" >> "%1/runs.log"; echo 225)").arg(OwnDir()));
}

int Runs()
{
    QFile log(OwnDir() + "/runs.log");
    return log.open(QIODevice::ReadOnly) ? static_cast<int>(log.readAll().count('\n')) : 0;
}

QByteArray Recorded(const char *name)
{
    QFile file(QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/") + QLatin1String(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

// The window as it meets Debian's avrdude 7.1: its parts (with memory sizes) and programmers.
WindowDeps Recorded71()
{
    WindowDeps deps;
    deps.vocabulary.parts = compose::ParseParts(Recorded("parts_St.txt"));
    deps.vocabulary.programmers = compose::ParseProgrammers(Recorded("programmers.txt"));
    compose::ReadProgrammerModes(Recorded("programmers_St.txt"), deps.vocabulary.programmers);
    return deps;
}

void Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

}  // namespace

TEST(Gate, EveryRunIsJudgedByTheLinesOwnPartAndOperations)
{
    StandIn tool = Logging();
    auto form = MakeForm("ATmega8", "usbasp", Recorded71());
    QTemporaryDir dir;
    Watch watch;  // Cancel
    const auto execute = [&](const QString &line) {
        form->commandLine->setText(line);
        ClickAndWait(form->executeButton);
    };
    const struct Row {
        const char *line;
        const char *asks;  // a text of the question; null: runs without one
    } rows[] = {
        {"avrdude.exe -p m8 -c usbasp -U hfuse:w:0x59:m", "RSTDISBL: the reset pin"},
        {"avrdude.exe -p m8 -c usbasp -Uhfuse:w:89:m", "Writing 59 to the high fuse of the ATmega8"},
        {"avrdude.exe -p m8 -c usbasp -U lock:w:0b11111100:m", "only a chip erase clears them"},
        {"avrdude.exe -p m8 -c usbasp -U hfuse:w:0xD9:m", nullptr},
        // The last -p counts, as avrdude takes it: the ATtiny85 here, not the ATmega8.
        {"avrdude.exe -p m8 -c usbasp -p t85 -U hfuse:w:0x5F:m", "to the high fuse of the ATtiny85"},
        {"avrdude.exe -p m8 -c usbasp -p t85 -U lfuse:w:0xE0:m", "Clock source: from \"not read\" to \"Ext. Clock"},
        // A part without bit names asks on every fuse or lock write; so does fuseN.
        {"avrdude.exe -p m168a -c usbasp -U lfuse:w:0x62:m", "no bit names for part \"m168a\""},
        {"avrdude.exe -p t416 -c usbasp -U fuse2:w:0x02:m", "no bit names for ATtiny416"},
        {"avrdude.exe -p m8 -c usbasp -U hfuse:w:0x1FF:m", "The value cannot be checked: \"0x1FF\" is not one byte"},
    };
    for (const Row &r : rows) {
        const int before = Runs();
        const std::size_t asked = watch.questions.size();
        execute(QString::fromLatin1(r.line));
        ASSERT_EQ(watch.questions.size(), asked + (r.asks ? 1 : 0)) << r.line;
        if (r.asks) {
            EXPECT_TRUE(watch.questions.back().contains(QLatin1String(r.asks))) << watch.questions.back().toStdString();
            EXPECT_EQ(Runs(), before) << "Cancel runs nothing: " << r.line;
        } else {
            EXPECT_EQ(Runs(), before + 1) << r.line;
        }
    }
    // A value written from a file: raw binary and Intel hex are read; another format asks.
    Write(dir.filePath("h.bin"), QByteArray(1, char(0x59)));
    Write(dir.filePath("h.hex"), ":0100000059A6\n:00000001FF\n");
    Write(dir.filePath("h.srec"), "S1040000599E\n");
    execute("avrdude.exe -p m8 -c usbasp -U hfuse:w:" + dir.filePath("h.bin") + ":r");
    EXPECT_TRUE(watch.questions.back().contains("Writing 59")) << watch.questions.back().toStdString();
    execute("avrdude.exe -p m8 -c usbasp -U hfuse:w:" + dir.filePath("h.hex") + ":i");
    EXPECT_TRUE(watch.questions.back().contains("Writing 59")) << watch.questions.back().toStdString();
    execute("avrdude.exe -p m8 -c usbasp -U hfuse:w:" + dir.filePath("h.srec") + ":s");
    EXPECT_TRUE(watch.questions.back().contains("cannot be read (only raw binary and Intel hex are)"));
    // A Read with a write in the extra options, and the window's own Write: through the same gate.
    const std::size_t asked = watch.questions.size();
    form->extraOptions->setText("-U hfuse:w:0x59:m");
    ClickAndWait(form->byteEditor(Low)->readButton());
    EXPECT_EQ(watch.questions.size(), asked + 1);
    form->extraOptions->setText("");
    form->byteEditor(High)->hexField()->SetText("59");
    ClickAndWait(form->byteEditor(High)->writeButton());
    EXPECT_EQ(watch.questions.size(), asked + 2) << "asked once, not twice";
    // After "Write anyway" the write stays in the command line; Execute asks again.
    watch.answer = true;
    ClickAndWait(form->byteEditor(High)->writeButton());
    watch.answer = false;
    const int runs = Runs();
    ClickAndWait(form->executeButton);
    EXPECT_EQ(watch.questions.size(), asked + 4);
    EXPECT_EQ(Runs(), runs);
    compose::SetInstalled({});
}

TEST(Gate, ImagesMustParseAndFitBeforeAnythingRuns)
{
    StandIn tool = Logging();
    auto form = MakeForm("ATmega8", "usbasp", Recorded71());
    QTemporaryDir dir;
    // 0x2020..0x2023: past the ATmega8's 8 KB of flash.
    Write(dir.filePath("blink.hex"), ":100000000C9434000C9446000C9446000C9446006A\n:0420200001020304B2\n:00000001FF\n");
    Write(dir.filePath("bad.hex"), ":100000000C9434000C9446000C9446000C9446006A\n:0400100001020304FF\n");
    Write(dir.filePath("fits.srec"), "S00600004844521B\nS107000001020304EE\nS9030000FC\n");
    const struct Row {
        QString op;
        const char *says;  // null: it runs
    } rows[] = {
        {"flash:w:" + dir.filePath("blink.hex") + ":i", "blink.hex reaches 0x2023; the ATmega8's flash ends at 0x1FFF"},
        {"flash:w:" + dir.filePath("blink.hex") + ":a", "blink.hex reaches 0x2023"},
        {"flash:w:" + dir.filePath("bad.hex") + ":i", "bad.hex, line 2: checksum error"},
        {"eeprom:w:" + dir.filePath("missing.hex") + ":i", "missing.hex does not exist"},
        {"flash:w:" + dir.filePath("fits.srec") + ":s", nullptr},
        {"flash:r:" + dir.filePath("out.hex") + ":i", nullptr},
    };
    for (const Row &r : rows) {
        Watch watch;
        const int before = Runs();
        form->commandLine->setText("avrdude.exe -p m8 -c usbasp -U " + r.op);
        ClickAndWait(form->executeButton);
        if (r.says) {
            ASSERT_EQ(watch.messages.size(), 1u) << r.op.toStdString();
            EXPECT_TRUE(watch.messages[0].text.contains(QLatin1String(r.says))) << watch.messages[0].text.toStdString();
            EXPECT_EQ(Runs(), before);
        } else {
            EXPECT_TRUE(watch.messages.empty()) << r.op.toStdString();
            EXPECT_EQ(Runs(), before + 1);
        }
    }
    compose::SetInstalled({});
}

TEST(Gate, ABootloaderProgrammerNeitherReadsNorWritesFusesLockOrCalibration)
{
    StandIn tool = Logging();
    auto form = MakeForm("ATmega328P", "arduino", Recorded71());
    Watch watch;
    form->byteEditor(Low)->hexField()->SetText("3C");
    ClickAndWait(form->byteEditor(Low)->readButton());
    ClickAndWait(form->byteEditor(Lock)->readButton());
    ClickAndWait(form->calibrationRead);
    ClickAndWait(form->byteEditor(Low)->writeButton());
    ClickAndWait(form->calibrationWrite);
    EXPECT_EQ(Runs(), 0);
    EXPECT_EQ(form->byteEditor(Low)->hexText(), "3C") << "no made-up 00";
    ASSERT_EQ(watch.messages.size(), 5u);
    EXPECT_TRUE(watch.messages[0].text.contains("through its bootloader, which cannot read fuse, lock or calibration"));
    EXPECT_TRUE(watch.messages[3].text.contains("cannot write"));
    ClickAndWait(form->signatureRead);  // the signature and flash work as ever
    EXPECT_EQ(Runs(), 1);
    form->programmerBox->SetText("usbasp");
    ClickAndWait(form->byteEditor(Low)->readButton());
    EXPECT_EQ(Runs(), 2);
    compose::SetInstalled({});
}
