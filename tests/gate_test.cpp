// The gate every run passes: fuse and lock writes judged against the line's own part, whichever
// button starts the run; images checked before anything can erase the chip; bootloader programmers.
#include "tests/printing.h"
#include "window/main_window.h"
#include "compose/installed.h"
#include "fuses/gate.h"
#include "runner/command_split.h"
#include "tests/helpers.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

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

// A minimal avr-gcc-like ELF: one loaded segment holding one section of `size` bytes at `paddr`.
QByteArray Elf(quint32 paddr, quint32 size)
{
    QByteArray out(84 + size + 80, '\0');
    const auto put16 = [&](int at, quint32 v) { out[at] = char(v & 0xFF); out[at + 1] = char(v >> 8 & 0xFF); };
    const auto put32 = [&](int at, quint32 v) { put16(at, v & 0xFFFF); put16(at + 2, v >> 16); };
    out.replace(0, 6, QByteArray("\x7f" "ELF\x01\x01", 6));
    put16(16, 2), put16(18, 83), put32(20, 1);                      // executable, AVR
    put32(28, 52), put32(32, 84 + size);                            // program and section headers
    put16(40, 52), put16(42, 32), put16(44, 1), put16(46, 40), put16(48, 2);
    put32(52, 1), put32(56, 84), put32(60, paddr), put32(64, paddr), put32(68, size), put32(72, size);
    for (quint32 i = 0; i < size; ++i)
        out[84 + int(i)] = char(i);
    const int sh = 84 + int(size) + 40;                             // section 1 after the null one
    put32(sh + 4, 1), put32(sh + 8, 2 | 4), put32(sh + 12, paddr), put32(sh + 16, 84), put32(sh + 20, size);
    return out;
}

// The installed avrdude as recorded.
compose::Vocabulary Recorded71Words() { return compose::Vocabulary(Recorded71().vocabulary); }

}  // namespace

// Each line as avrdude 7.1 reads it (getopt, its part data, its file readers): what it would write
// is what is judged. Against recorded "-p */St" data for the ATmega8 (E1 D9 FF), ATtiny85, ATtiny1614
// and ATtiny10.
TEST(Gate, EveryLineIsJudgedAsAvrdudeReadsIt)
{
    const compose::Vocabulary words = Recorded71Words();
    QTemporaryDir dir;
    const QString d = dir.path();
    Write(d + "/fits.hex", ":100000000C9434000C9446000C9446000C9446006A\n:00000001FF\n");
    Write(d + "/big.hex", ":100000000C9434000C9446000C9446000C9446006A\n:0420200001020304B2\n:00000001FF\n");
    Write(d + "/twice.hex", ":01000000D926\n:010000005FA0\n:00000001FF\n");     // the last record wins
    Write(d + "/comment.hex", "; built by me\n:01000000D926\n:00000001FF\n");  // skipped, as avrdude does
    Write(d + "/late.txt", "made by hand\n:01000000E01F\n");                  // detected as Intel hex on line 2
    Write(d + "/ext.hex", ":020000040001F9\n:0100000000FF\n");                 // at 0x10000
    Write(d + "/h.srec", "S1040000A556\nS104000059A2\n");  // the last record wins
    Write(d + "/s.srec", "S1040000599E\n");
    Write(d + "/end.srec", "S1071FFC01020304D3\nS9030000FC\n");                // four bytes ending on 0x1FFF
    Write(d + "/8192.bin", QByteArray(8192, char(0xFF)));
    Write(d + "/8193.bin", QByteArray(8193, char(0xFF)));
    Write(d + "/ee.elf", Elf(0x810000, 16));
    Write(d + "/past.elf", Elf(0x1FF8, 16));
    ASSERT_TRUE(QDir().mkpath(d + "/a:b"));
    Write(d + "/a:b/h.hex", ":010000005FA0\n:00000001FF\n");  // the file ends at the last colon
    ASSERT_EQ(mkfifo(QFile::encodeName(d + "/fifo").constData(), 0600), 0);
    {
        QFile sparse(d + "/sparse.hex");
        ASSERT_TRUE(sparse.open(QIODevice::WriteOnly) && sparse.resize(qint64(1) << 30));
    }
    enum Expect { Runs, Asks, Refuses };
    const struct Row {
        const char *line;
        Expect expect;
        const char *says;  // a text of the question or refusal
    } rows[] = {
        // Safe forms raise no question.
        {"-p m8 -U hfuse:w:0xD9:m", Runs, ""},
        {"-p ATmega8 -U hf:w:0xD9:m", Runs, ""},
        {"-p m8 -qU lfuse:w:0xE1:m -U lock:w:0xFF:m", Runs, ""},
        {"-p m8 -n -U hfuse:w:0x5F:m", Runs, ""},
        {"-p m8 -- -U hfuse:w:0x5F:m", Runs, ""},
        {"-p m8 left-over -U hfuse:w:D/comment.hex:a", Runs, ""},
        {"-p m8 -U flash:w:D/fits.hex:i -U eeprom:r:D/out.hex:i", Runs, ""},
        {"-p m8 -U flash:w:D/8192.bin:r -U flash:w:D/end.srec:s", Runs, ""},
        {"-p m8 -U eeprom:w:D/ee.elf:e", Runs, ""},
        // Memories by any start of their name or alias; several bytes at their offsets.
        {"-p m8 -U hf:w:0x5F:m", Asks, "RSTDISBL: the reset pin"},
        {"-p m8 -U lo:w:0x00:m", Asks, "only a chip erase clears them"},
        {"-p m8 -U l:w:0xE1:m", Asks, "no memory that \"l\" names alone"},
        // A part's own fuses, by any name avrdude takes for them: the UPDI pin, RSTDISBL, the lock key.
        {"-p t1614 -U syscfg0:w:0xC0:m", Asks, "Writing C0 to the syscfg0 (fuse5) of the ATtiny1614"},
        {"-p t1614 -U fuse5:w:0xC8:m", Asks, "UPDI pin becomes \"Reset mode\""},
        {"-p t1614 -U syscfg0:w:0xC4:m -U bootsi:w:0x02:m", Runs, ""},
        {"-p t1614 -U fuses:w:0,0,2,0,0,0xC0,0,0,0:m", Asks, "Writing C0 to the syscfg0 (fuse5) of the ATtiny1614"},
        {"-p t1614 -U fuses:w:0,0,0:m", Asks, "FREQSEL (Frequency Select): 0x00 (not a listed setting)"},
        {"-p t1614 -U lock:w:0x3A:m", Asks, "only after a chip erase"},
        {"-p t10 -U fuse:w:0xFE:m", Asks, "RSTDISBL"},
        {"-p avr128db28 -U lock:w:0x5C,0xC5,0xC5,0x5C:m", Runs, ""},
        {"-p avr128db28 -U lock:w:0x5C,0xC5:m", Asks, "the line gives 2 of its 4 bytes"},
        {"-p x128a1u -U fuse2:w:0xBF:m", Asks, "no descriptions of the ATxmega128A1U's fuse2"},
        // Options as getopt reads them: grouped, arguments attached or in the next word.
        {"-p m8 -qUhfuse:w:0x5F:m", Asks, "RSTDISBL"},
        {"-p m8 -l -pt85 -U lfuse:w:0xE5:m", Asks, "to the low fuse of the ATmega8"},
        {"-p m8 -qpt85 -U hfuse:w:0x5F:m", Asks, "to the high fuse of the ATtiny85"},
        {"-p m8 -eU flash:w:D/big.hex:i", Refuses, "big.hex reaches 0x2023; the ATmega8's flash ends at 0x1FFF"},
        {"-p m8 -T -U hfuse:w:0xD9:m", Asks, "avrdude 7.1 has no option -T"},
        {"-p m8 -C my.conf -U hfuse:w:0xD9:m", Asks, "the configuration my.conf (-C)"},
        {"-p m8 -U hfuse:x:0xD9:m", Asks, "the operation is not r, w or v"},
        {"-p m8 -U", Asks, "-U needs an argument"},
        // Parts by code or name, as avrdude finds them; one it does not know asks.
        {"-p ATMEGA8 -U fl:w:D/big.hex:i", Refuses, "the ATmega8's flash ends at 0x1FFF"},
        {"-p m9999 -U flash:w:D/fits.hex:i", Asks, "lists no such part"},
        // The bytes avrdude reads from each file and value.
        {"-p m8 -U hfuse:w:D/twice.hex:i", Asks, "Writing 5F to the high fuse"},
        {"-p m8 -U lfuse:w:D/late.txt:a", Asks, "Ext. Clock"},
        {"-p m8 -U hfuse:w:D/h.srec:s", Asks, "Writing 59"},
        {"-p m8 -U hfuse:w:0x15F:m", Asks, "Writing 5F"},
        {"-p m8 -U hfuse:w:-161:m", Asks, "Writing 5F"},
        {"-p m8 -U hfuse:w:0B11011001:m", Asks, "is no number avrdude takes"},
        {"-p m8 -U hfuse:w:D/fifo:a", Asks, "is not a regular file"},
        {"-p m8 -U flash:w:D/sparse.hex:i", Refuses, "far more than any image"},
        {"-p m8 -U flash:w:D/8193.bin:r", Refuses, "8193.bin reaches 0x2000"},
        {"-p m8 -U flash:w:D/ext.hex:i", Refuses, "ext.hex reaches 0x10000"},
        {"-p m8 -U flash:w:D/past.elf:e", Refuses, "past.elf reaches 0x2007"},
        {"-p m8 -U flash:w:D/s.srec:s", Refuses, "s.srec, line 1: checksum error"},
        // A clock setting the data does not list.
        {"-p t85 -U lfuse:w:0xE5:m", Asks, "lists as no setting of SUT_CKSEL"},
        // Names as avrdude takes them: a colon in the file's path, a part code in capitals, a prefix
        // that starts a memory and its own alias (twice: no memory).
        {"-p m8 -U hfuse:w:D/a:b/h.hex:i", Asks, "RSTDISBL"},
        {"-p M8 -U hfuse:w:0x5F:m", Asks, "RSTDISBL"},
        {"-p t1614 -U boot:w:0x02:m", Asks, "no memory that \"boot\" names alone"},
        {"-p t1614 -U user:w:0x01:m", Asks, "no memory that \"user\" names alone"},
        {"-p t1614 -U fuse5:w:0xCC:m", Asks, "RSTPINCFG"},
        // Lock modes 2 and 3 ask; boot lock bits alone do not.
        {"-p m8 -U lock:w:0xFE:m", Asks, "LB1 (lock mode 2)"},
        {"-p m8 -U lock:w:0xCF:m", Runs, ""},
        // A file that says it is empty (as /proc's do) is read to the memory's size and no further.
        {"-p m8 -U lock:w:/proc/self/environ:r", Asks, "environ reaches"},
        {"-p m8 -U flash:w:/proc/self/environ:r", Runs, ""},
        // -F: the chip may be another part.
        {"-p m8 -F -U hfuse:w:0xD9:m", Asks, "(-F): the chip present may be another part than the ATmega8"},
        {"-p m8 -F -U flash:w:D/fits.hex:i", Runs, ""},
        // avr-gcc's ELF with fuses alone: its empty .data section is passed over, as avrdude does.
        {"-p m8 -U hfuse:w:E/fuses_only_m8.elf:e -U lfuse:w:E/fuses_only_m8.elf:e", Runs, ""},
    };
    for (const Row &r : rows) {
        // One pass over the row's own text: a temporary directory whose name ends in E must not be
        // taken for the fixtures' folder.
        QString line = "avrdude.exe -c usbasp ";
        const QString text = QString::fromLatin1(r.line);
        for (qsizetype i = 0; i < text.size(); ++i) {
            const bool folder = i + 1 < text.size() && text[i + 1] == '/' && i > 0 && text[i - 1] == ':';
            if (folder && text[i] == 'D') { line += d; continue; }
            if (folder && text[i] == 'E') { line += FUSEWERK_ELF_DIR; continue; }
            line += text[i];
        }
        const fuses::GateVerdict verdict = fuses::JudgeLine(runner::SplitCommandLine(line), {}, words);
        const QString said = verdict.refusal.isEmpty() ? verdict.questions.join("\n") : verdict.refusal;
        EXPECT_EQ(!verdict.refusal.isEmpty(), r.expect == Refuses) << r.line << ": " << said.toStdString();
        EXPECT_EQ(verdict.questions.isEmpty(), r.expect != Asks) << r.line << ": " << said.toStdString();
        EXPECT_TRUE(said.contains(QLatin1String(r.says))) << r.line << ": " << said.toStdString();
    }
}

// Through the window: Cancel runs nothing, the window's own Write asks once, a Read or Detect writes
// nothing, a value read for one part is not taken for another, and what is run is what was judged.
TEST(Gate, TheWindowAsksRunsNothingOnCancelAndRunsWhatWasJudged)
{
    StandIn tool = Logging();
    auto form = MakeForm("ATmega8", "usbasp", Recorded71());
    QTemporaryDir dir;
    Watch watch;  // Cancel
    Ui(*form).commandLine->setText("avrdude.exe -p m8 -c usbasp -U hfuse:w:0x59:m");
    ClickAndWait(Ui(*form).executeButton);
    ASSERT_EQ(watch.questions.size(), 1u);
    EXPECT_TRUE(watch.questions[0].contains("Writing 59 to the high fuse of the ATmega8"));
    EXPECT_EQ(Runs(), 0);
    // Reads and Detect run no writes from the extra options, and take the line's own programmer.
    for (const char *extra : {"-U hf:w:0x5F:m", "-eq"}) {
        Ui(*form).extraOptions->setText(QString::fromLatin1(extra));
        ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
        ClickAndWait(Ui(*form).detectButton);
    }
    ASSERT_EQ(watch.messages.size(), 4u);
    EXPECT_TRUE(watch.messages[0].text.contains("would also run -U hf:w:0x5F:m")) << watch.messages[0].text.toStdString();
    EXPECT_TRUE(watch.messages[3].text.contains("would also run -e"));
    Ui(*form).extraOptions->setText("-c arduino");
    ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
    ASSERT_EQ(watch.messages.size(), 5u);
    EXPECT_TRUE(watch.messages[4].text.contains("\"arduino\" reaches the chip through its bootloader"));
    EXPECT_EQ(Runs(), 0);
    // The high fuse read as an ATmega8 (D9) is no value read for an ATtiny85.
    Ui(*form).extraOptions->setText("");
    ClickAndWait(Ui(*form).byteEditor(High)->readButton());
    ASSERT_EQ(Runs(), 1);
    Ui(*form).commandLine->setText("avrdude.exe -p t85 -c usbasp -U hfuse:w:0x5F:m");
    ClickAndWait(Ui(*form).executeButton);
    EXPECT_TRUE(watch.questions.back().contains("Value as last read: not read from the ATtiny85 (the last read was from the ATmega8)"))
        << watch.questions.back().toStdString();
    // The window's Write asks once; after "Write anyway" the write stays in the line and Execute asks again.
    const std::size_t asked = watch.questions.size();
    Ui(*form).byteEditor(High)->hexField()->setMaskedText("59");
    ClickAndWait(Ui(*form).byteEditor(High)->writeButton());
    EXPECT_EQ(watch.questions.size(), asked + 1) << "asked once, not twice";
    watch.answer = true;
    ClickAndWait(Ui(*form).byteEditor(High)->writeButton());
    EXPECT_EQ(Runs(), 2);
    watch.answer = false;
    ClickAndWait(Ui(*form).executeButton);
    EXPECT_EQ(watch.questions.size(), asked + 3);
    EXPECT_EQ(Runs(), 2);
    // A value file changed while its question is open (a build beside the window): avrdude reads a
    // private copy of the bytes judged, never the file as it is by then.
    StandIn reading(QStringLiteral(R"(for a in "$@"; do case "$a" in hfuse:w:*) f=${a#hfuse:w:}; echo "$f" >> "%1/runs.log"; )"
                                   R"(cat "${f%%:i}" >> "%1/runs.log"; ls -l "${f%%:i}" >> "%1/runs.log";; esac; done)")
                        .arg(OwnDir()));
    Write(dir.filePath("h.hex"), ":01000000D926\n:00000001FF\n");
    Ui(*form).commandLine->setText("avrdude.exe -p m8 -c usbasp -U lfuse:w:0x00:m -U hfuse:w:" + dir.filePath("h.hex") + ":i");
    watch.answer = true;
    watch.whileAsked = [&] { Write(dir.filePath("h.hex"), ":010000005FA0\n:00000001FF\n"); };
    QFile::remove(OwnDir() + "/runs.log");
    ClickAndWait(Ui(*form).executeButton);
    QFile log(OwnDir() + "/runs.log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString ran = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(ran.contains(":01000000D926")) << ran.toStdString();
    EXPECT_FALSE(ran.contains("5F")) << ran.toStdString();
    EXPECT_FALSE(ran.contains(dir.filePath("h.hex"))) << "a copy, not the file itself";
    EXPECT_TRUE(ran.contains("-r--------")) << "private and read-only: " << ran.toStdString();
    const QString copy = ran.section('\n', 0, 0).section(':', 0, 0);
    EXPECT_FALSE(QFile::exists(copy)) << "removed after the run";
    EXPECT_TRUE(Ui(*form).outputPane->outputText().contains(copy + " stands for " + dir.filePath("h.hex")))
        << Ui(*form).outputPane->outputText().toStdString();
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -U lfuse:w:0x00:m -U hfuse:w:" + dir.filePath("h.hex") + ":i")
        << "the line keeps the user's file";
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
        Ui(*form).commandLine->setText("avrdude.exe -p m8 -c usbasp -U " + r.op);
        ClickAndWait(Ui(*form).executeButton);
        if (r.says) {
            ASSERT_EQ(watch.messages.size(), 1u) << r.op.toStdString();
            EXPECT_TRUE(watch.messages[0].text.contains(QLatin1String(r.says))) << watch.messages[0].text.toStdString();
            EXPECT_EQ(Runs(), before);
        } else {
            EXPECT_TRUE(watch.messages.empty()) << r.op.toStdString();
            EXPECT_EQ(Runs(), before + 1);
        }
    }
}

TEST(Gate, ABootloaderProgrammerNeitherReadsNorWritesFusesLockOrCalibration)
{
    StandIn tool = Logging();
    auto form = MakeForm("ATmega328P", "arduino", Recorded71());
    Watch watch;
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("3C");
    ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
    ClickAndWait(Ui(*form).byteEditor(Lock)->readButton());
    ClickAndWait(Ui(*form).calibrationRead);
    ClickAndWait(Ui(*form).byteEditor(Low)->writeButton());
    ClickAndWait(Ui(*form).calibrationWrite);
    EXPECT_EQ(Runs(), 0);
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexText(), "3C") << "no made-up 00";
    ASSERT_EQ(watch.messages.size(), 5u);
    EXPECT_TRUE(watch.messages[0].text.contains("through its bootloader, which cannot read fuse, lock or calibration"));
    EXPECT_TRUE(watch.messages[3].text.contains("cannot write"));
    ClickAndWait(Ui(*form).signatureRead);  // the signature and flash work as ever
    EXPECT_EQ(Runs(), 1);
    Ui(*form).programmerBox->setEditText("usbasp");
    ClickAndWait(Ui(*form).byteEditor(Low)->readButton());
    EXPECT_EQ(Runs(), 2);
}

// A part with fuses of its own on the window: the four editors are off, the panel edits each fuse
// memory (a setting picked shows in its hex, hex typed shows in its words), Factory Defaults come
// from the data, a part without data shows its memories as bytes, and a programmer that cannot
// reach the part is named before anything runs.
TEST(OwnFuses, ThePanelEditsThemAndTheEditorsAreOff)
{
    auto form = MakeForm("ATtiny1614", "serialupdi", Recorded71());
    const auto editorsOff = [&] {
        return std::ranges::none_of(Ui(*form).byteEditors, [](widgets::ByteEditor *e) {
            return e->hexField()->isEnabled() || e->readButton()->isEnabled() || e->writeButton()->isEnabled();
        });
    };
    widgets::FuseSettingsPanel *panel = Ui(*form).fuseSettings;
    EXPECT_TRUE(editorsOff());
    ASSERT_TRUE(panel->ownFuses());
    EXPECT_EQ(panel->findChild<QGroupBox *>("Settings_fuse5")->title(), "syscfg0 (fuse5): System Configuration 0");
    // Shown means known: before a read, a typed value or the defaults, no setting stands there.
    EXPECT_TRUE(panel->findChild<QLabel *>("Unread_fuse5")->isVisibleTo(panel));
    EXPECT_FALSE(panel->settingBox(QStringLiteral("fuse5"), "RSTPINCFG")->isVisibleTo(panel));
    EXPECT_EQ(panel->hexField("fuse5")->text(), "");
    EXPECT_FALSE(panel->isKnown("fuse5"));
    panel->setFuseValue("fuse8", 0x02);
    EXPECT_TRUE(panel->findChild<QLabel *>("Meaning_fuse8")->text().startsWith("the boot section is the flash's first 512 bytes"))
        << panel->findChild<QLabel *>("Meaning_fuse8")->text().toStdString();
    EXPECT_TRUE(panel->findChild<QLabel *>("Unread_fuse5")->isVisibleTo(panel)) << "one fuse read is not the others";
    QTest::mouseClick(panel->defaultsButton(), Qt::LeftButton);
    EXPECT_FALSE(panel->findChild<QLabel *>("Unread_fuse5")->isVisibleTo(panel));
    QLineEdit *syscfg0 = panel->hexField("fuse5");
    EXPECT_EQ(syscfg0->text(), "C4");
    EXPECT_EQ(panel->hexField("fuse2")->text(), "02");
    QComboBox *pin = panel->settingBox(QStringLiteral("fuse5"), "RSTPINCFG");
    ASSERT_NE(pin, nullptr);
    ASSERT_EQ(pin->count(), 3);
    for (int i = 0; i < pin->count(); ++i) {
        pin->setCurrentIndex(i);  // as the user picks it
        const QString hex = QStringLiteral("%1").arg(0xC0u | (pin->itemData(i).toUInt() << 2), 2, 16).toUpper();
        EXPECT_EQ(syscfg0->text(), hex) << i;
        syscfg0->clear();
        QTest::keyClicks(syscfg0, "C4");
        EXPECT_EQ(pin->currentText(), "UPDI mode");
        syscfg0->selectAll();
        QTest::keyClicks(syscfg0, hex);
        EXPECT_EQ(pin->currentIndex(), i) << hex.toStdString();
    }
    QCheckBox *eesave = panel->bitBox(QStringLiteral("fuse5"), "EESAVE");
    ASSERT_NE(eesave, nullptr);
    eesave->setChecked(true);
    EXPECT_EQ(syscfg0->text(), "C9") << "a UPDI part's bit is on when set";

    EXPECT_FALSE(Ui(*form).programmerFit->isVisibleTo(form.get()));
    Ui(*form).programmerBox->setEditText("usbasp");
    EXPECT_TRUE(Ui(*form).programmerFit->isVisibleTo(form.get()));
    EXPECT_TRUE(panel->notice().contains("usbasp cannot program the ATtiny1614")) << panel->notice().toStdString();

    Ui(*form).deviceBox->setEditText("ATxmega128A1U");
    EXPECT_TRUE(editorsOff());
    ASSERT_NE(panel->hexField("fuse2"), nullptr);
    EXPECT_EQ(panel->settingBox(QStringLiteral("fuse2"), "RSTPINCFG"), nullptr);
    EXPECT_FALSE(panel->defaultsButton()->isVisibleTo(panel));
    Ui(*form).deviceBox->setEditText("ATmega8");
    EXPECT_TRUE(Ui(*form).byteEditor(High)->hexField()->isEnabled() && Ui(*form).byteEditor(High)->readButton()->isEnabled());
    EXPECT_FALSE(panel->ownFuses());
}
