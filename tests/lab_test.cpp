// End to end: the real window drives Debian's avrdude, which talks to an emulated STK500 version 1
// programmer with an ATmega8 on a pseudo-terminal.
#include "window/main_window.h"
#include "window/memory_view.h"
#include "images/image_writers.h"
#include "images/memory_file.h"
#include "installed/installed_avrdude.h"
#include "compose/installed.h"
#include "images/memory_file.h"
#include "production/program_plan.h"
#include "production/stations.h"
#include "session/chip_session.h"
#include "tests/helpers.h"
#include "tests/lab/emulator.h"

#include <QElapsedTimer>
#include <QTextBlock>
#include <QFile>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

namespace {

// The window as a user sets it up: device, programmer and the emulator's port typed in.
std::unique_ptr<MainWindow> LabForm(const Emulator &emulator, WindowDeps deps = {})
{
    auto form = std::make_unique<MainWindow>(std::move(deps));
    Ui(*form).deviceBox->setEditText("ATmega8");
    Ui(*form).programmerBox->setEditText("stk500v1");
    Ui(*form).portBox->setEditText(emulator.Port());
    return form;
}

void Click(QAbstractButton *button) { ClickAndWait(button); }

// Memories opened from the window's button.
window::MemoryDialog *OpenMemories(MainWindow &form)
{
    QTest::mouseClick(Ui(form).memoriesButton, Qt::LeftButton);
    return form.findChild<window::MemoryDialog *>("MemoryDialog");
}

// `memory` read whole in Memories, the run waited for.
void ReadInMemories(MainWindow &form, window::MemoryDialog &dialog, const char *memory)
{
    auto *name = dialog.findChild<QComboBox *>("MemoryName");
    name->setCurrentIndex(name->findData(memory));
    QTest::mouseClick(dialog.findChild<QPushButton *>("MemoryRead"), Qt::LeftButton);
    WaitForRun(form);
}

void ReadEverything(MainWindow &form)
{
    Click(Ui(form).byteEditor(Low)->readButton());
    Click(Ui(form).byteEditor(High)->readButton());
    Click(Ui(form).byteEditor(Lock)->readButton());
    Click(Ui(form).calibrationRead);
    Click(Ui(form).signatureRead);
}

QString IntelHex(const QByteArray &data)
{
    QString out;
    for (int offset = 0; offset < data.size(); offset += 16) {
        const QByteArray chunk = data.mid(offset, 16);
        QByteArray record;
        record += char(chunk.size());
        record += char(offset >> 8);
        record += char(offset & 0xff);
        record += char(0);
        record += chunk;
        int sum = 0;
        for (char c : record)
            sum += static_cast<unsigned char>(c);
        record += char(-sum & 0xff);
        out += ":" + record.toHex().toUpper() + "\n";
    }
    return out + ":00000001FF\n";
}

}  // namespace

TEST(Lab, ReadsWithTheLineThisAvrdudePrintsTheValueOn)
{
    Emulator emulator;
    ASSERT_FALSE(emulator.Port().isEmpty());
    SettingsFile file("[ReadFuseFromLine]\nstk500v1=5\n");
    auto form = LabForm(emulator);
    ASSERT_EQ(form->session().readLine(), 5);
    Watch watch;
    ReadEverything(*form);
    EXPECT_TRUE(watch.messages.empty());
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "E1");
    EXPECT_EQ(Ui(*form).byteEditor(Low)->binaryField()->maskedText(), "11100001");
    EXPECT_EQ(Ui(*form).byteEditor(High)->hexField()->maskedText(), "D9");
    EXPECT_EQ(Ui(*form).byteEditor(Lock)->hexField()->maskedText(), "FF");
    EXPECT_EQ(Ui(*form).calibrationField->maskedText(), "A5A3A4A5");
    EXPECT_EQ(Ui(*form).signatureField->maskedText(), "1E9307");
    const QStringList lines = Ui(*form).outputPane->outputText().split('\n');
    ASSERT_GT(lines.size(), 5);
    EXPECT_EQ(lines[5], "0x1e,0x93,0x7") << "the value stands on line 5";
}

TEST(Lab, ReadsWithTheDefaultLineStillFindTheValue)
{
    Emulator emulator({"--lfuse", "0x3f", "--lock", "0xfc"});
    SettingsFile none;
    auto form = LabForm(emulator);
    ASSERT_EQ(form->session().readLine(), 0);
    Watch watch;
    ReadEverything(*form);
    EXPECT_TRUE(watch.messages.empty());
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "3F");
    EXPECT_EQ(Ui(*form).byteEditor(Lock)->hexField()->maskedText(), "FC");
    EXPECT_EQ(Ui(*form).signatureField->maskedText(), "1E9307");
    EXPECT_EQ(Ui(*form).calibrationField->maskedText(), "A5A3A4A5");
    // Read All: every fuse and lock byte the part has, in one run of the real avrdude.
    for (fuses::FuseByte byte : {Low, High, Lock})
        Ui(*form).byteEditor(byte)->setValue(0);
    Click(Ui(*form).readAllButton);
    EXPECT_TRUE(watch.messages.empty());
    EXPECT_TRUE(Ui(*form).outputPane->outputText().contains("reading lock memory"));
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexText(), "3F");
    EXPECT_EQ(Ui(*form).byteEditor(High)->hexText(), "D9");
    EXPECT_EQ(Ui(*form).byteEditor(Lock)->hexText(), "FC");
    EXPECT_EQ(form->session().lastReads().value("lock").value, 0xFCu);
}

TEST(Lab, WritesTheLowFuseAndReadsItBack)
{
    Emulator emulator;
    SettingsFile none;
    auto form = LabForm(emulator);
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("E4");
    Click(Ui(*form).byteEditor(Low)->writeButton());
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c stk500v1 -P " + emulator.Port() + " -U lfuse:w:0xE4:m ");
    EXPECT_TRUE(Ui(*form).outputPane->outputText().contains("1 byte of lfuse verified")) << Ui(*form).outputPane->outputText().toStdString();
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("00");
    Click(Ui(*form).byteEditor(Low)->readButton());
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "E4");

    // The calibration bytes of the m8 have no write instruction: avrdude says so in the pane.
    Ui(*form).calibrationField->setMaskedText("11223344");
    Click(Ui(*form).calibrationWrite);
    EXPECT_TRUE(Ui(*form).commandLine->text().endsWith("-U calibration:w:0x11223344:m "));
    EXPECT_TRUE(Ui(*form).outputPane->outputText().contains("calibration")) << Ui(*form).outputPane->outputText().toStdString();
}

TEST(Lab, ExecuteWritesAndVerifiesFlashAndWarnsOnAMismatch)
{
    QTemporaryDir dir;
    QByteArray image;
    for (int i = 0; i < 100; ++i)
        image += char(i * 7);
    const QString hex = dir.filePath("blink.hex");
    QFile file(hex);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(IntelHex(image).toLatin1());
    file.close();
    SettingsFile none;
    {
        Emulator emulator;
        auto form = LabForm(emulator);
        Ui(*form).flashWrite->setChecked(true);
        Ui(*form).flashVerify->setChecked(true);
        Ui(*form).flashFile->setText(hex);
        Watch watch;
        Click(Ui(*form).executeButton);
        const QString out = Ui(*form).outputPane->outputText();
        EXPECT_TRUE(out.contains("100 bytes of flash verified")) << out.toStdString();
        EXPECT_TRUE(watch.tones.empty());
        EXPECT_TRUE(watch.messages.empty());
    }
    {
        Emulator emulator({"--bad-flash-byte", "3"});
        auto form = LabForm(emulator);
        Ui(*form).flashVerify->setChecked(true);
        Ui(*form).disableAutoEraseBox->setChecked(true);
        Ui(*form).flashFile->setText(hex);
        Watch watch;
        Click(Ui(*form).executeButton);
        EXPECT_TRUE(Ui(*form).outputPane->outputText().contains("verification mismatch"));
        ASSERT_EQ(watch.tones.size(), 1u);
        ASSERT_EQ(watch.messages.size(), 1u);
        EXPECT_EQ(watch.messages[0].text, "Verification Error");
    }
}

TEST(Lab, TerminalModeEndsByItself)
{
    Emulator emulator;
    SettingsFile none;
    auto form = LabForm(emulator);
    Ui(*form).terminalBox->setChecked(true);
    QElapsedTimer timer;
    timer.start();
    Click(Ui(*form).executeButton);
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_TRUE(Ui(*form).outputPane->outputText().contains("avrdude done")) << Ui(*form).outputPane->outputText().toStdString();
}

TEST(Lab, AReadFromAStoppedProgrammerChangesNothing)
{
    Emulator emulator;
    SettingsFile none;
    auto form = LabForm(emulator);
    Click(Ui(*form).byteEditor(High)->readButton());
    ASSERT_EQ(Ui(*form).byteEditor(High)->hexField()->maskedText(), "D9");
    emulator.Stop();
    Watch watch;
    Click(Ui(*form).byteEditor(High)->readButton());
    EXPECT_EQ(Ui(*form).byteEditor(High)->hexField()->maskedText(), "D9");
    EXPECT_TRUE(watch.messages.empty()) << "told once, in the strip with its advice";
    EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("avrdude failed (exit code 1)")) << Ui(*form).runStrip->text().toStdString();
    EXPECT_FALSE(Ui(*form).outputPane->outputText().isEmpty());
}

TEST(Lab, APartFromTheInstalledAvrdudesList)
{
    // The window meets the real avrdude, as at a user's start; the emulated m8 answers as an ATmega8A.
    Emulator emulator({"--lfuse", "0xe1", "--hfuse", "0xd9"});
    SettingsFile none;
    WindowDeps deps;
    deps.vocabulary = AskInstalledAvrdude();
    auto form = LabForm(emulator, deps);
    const int index = Ui(*form).deviceBox->findText("ATmega8A");
    ASSERT_GT(index, 26) << "appended after the window's own devices";
    Ui(*form).deviceBox->setCurrentIndex(index);
    EXPECT_TRUE(Ui(*form).commandLine->text().startsWith("avrdude.exe -p m8a -c stk500v1 -P ")) << Ui(*form).commandLine->text().toStdString();
    EXPECT_EQ(Ui(*form).byteEditor(High)->bitBox(7)->text(), "RSTDISBL");
    EXPECT_FALSE(Ui(*form).byteEditor(Extended)->hexField()->isEnabled()) << "the ATmega8A has no extended fuse";
    Watch watch;
    ReadEverything(*form);
    EXPECT_TRUE(watch.messages.empty());
    EXPECT_EQ(Ui(*form).byteEditor(High)->hexField()->maskedText(), "D9");
    EXPECT_TRUE(Ui(*form).byteEditor(High)->bitBox(6)->isChecked()) << "WDTON unprogrammed in D9";
    EXPECT_TRUE(Ui(*form).signatureField->toolTip().contains("ATmega8A")) << Ui(*form).signatureField->toolTip().toStdString();
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("E4");
    Click(Ui(*form).byteEditor(Low)->writeButton());
    Click(Ui(*form).byteEditor(Low)->readButton());
    EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "E4");
}

// Detect against the emulated programmer, with the real avrdude and its own list of parts: a
// signature several parts share, one that a single part has (not the device chosen), and none.
TEST(Lab, DetectFindsThePartAndAMismatchOffersTheSwitch)
{
    SettingsFile none;
    WindowDeps deps;
    deps.vocabulary = AskInstalledAvrdude();
    Watch watch;
    QStringList offered;
    MainWindow *asking = nullptr;
    QString stripWhileAsked, paneWhileAsked;
    watch.choose = [&](const QString &, const QStringList &items) {
        offered = items;
        stripWhileAsked = Ui(*asking).runStrip->text();
        paneWhileAsked = Ui(*asking).outputPane->outputText();
        return QStringLiteral("ATmega8A");
    };
    {
        Emulator m8;
        auto form = LabForm(m8, deps);
        asking = form.get();
        Click(Ui(*form).detectButton);
        EXPECT_EQ(offered, (QStringList{"ATmega8", "ATmega8A"})) << "1E9307 is both: the user picks";
        // The run is over when the user is asked: its output shown, the strip saying how it ended.
        EXPECT_TRUE(stripWhileAsked.startsWith("avrdude finished")) << stripWhileAsked.toStdString();
        EXPECT_TRUE(paneWhileAsked.contains("device signature = 0x1e9307")) << paneWhileAsked.toStdString();
        EXPECT_EQ(Ui(*form).deviceBox->currentText(), "ATmega8A");
        EXPECT_EQ(Ui(*form).runStrip->text(), "Detected ATmega8A (1E9307)");
        EXPECT_EQ(Ui(*form).signatureField->maskedText(), "1E9307");
        EXPECT_EQ(Ui(*form).signaturePart->text(), "ATmega8, ATmega8A");
    }
    {
        Emulator t85({"--signature", "1E930B"});
        auto form = LabForm(t85, deps);
        Click(Ui(*form).signatureRead);  // avrdude refuses the chip as another part's
        EXPECT_TRUE(Ui(*form).runStrip->text().contains("The chip is not the device chosen")) << Ui(*form).runStrip->text().toStdString();
        ASSERT_TRUE(Ui(*form).runStrip->offerButton()->isVisibleTo(form.get()));
        EXPECT_EQ(Ui(*form).runStrip->offerButton()->text(), "Switch to ATtiny85");
        EXPECT_EQ(Ui(*form).outputPane->lineText(Ui(*form).outputPane->caretLine()), Ui(*form).outputPane->lineText(Ui(*form).outputPane->markedLine()));
        EXPECT_TRUE(Ui(*form).outputPane->lineText(Ui(*form).outputPane->caretLine()).startsWith("avrdude error: expected signature for ATmega8"));
        QTest::mouseClick(Ui(*form).runStrip->offerButton(), Qt::LeftButton);
        EXPECT_EQ(Ui(*form).deviceBox->currentText(), "ATtiny85");
        Ui(*form).deviceBox->setEditText("ATmega8");
        Click(Ui(*form).detectButton);
        EXPECT_EQ(Ui(*form).deviceBox->currentText(), "ATtiny85") << "a signature of one part selects it";
        EXPECT_EQ(Ui(*form).runStrip->text(), "Detected ATtiny85 (1E930B)");
    }
    {
        Emulator silent({"--signature", "000000"});
        auto form = LabForm(silent, deps);
        Click(Ui(*form).detectButton);
        EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("No answer from the chip (signature 000000): check the wiring"))
            << Ui(*form).runStrip->text().toStdString();
        EXPECT_EQ(Ui(*form).deviceBox->currentText(), "ATmega8");
    }
}

// Burn Bootloader for a board of a core made here: one question, the board's clock, for the whole
// burn; then erase, unlock and fuses, and the image and lock, in that order. The chip ends with the
// board's fuses, image and lock (its unused lock bits read back as 1, which is no failure).
TEST(Lab, BurnBootloaderLeavesTheBoardsFusesImageAndLockInTheChip)
{
    QTemporaryDir core;
    QDir().mkpath(core.filePath("bootloaders"));
    QFile boards(core.filePath("boards.txt")), image(core.filePath("bootloaders/eight.hex"));
    ASSERT_TRUE(boards.open(QIODevice::WriteOnly) && image.open(QIODevice::WriteOnly));
    boards.write("eight.name=Bench Eight\neight.build.mcu=atmega8\neight.build.f_cpu=16000000L\n"
                 "eight.bootloader.low_fuses=0xdf\neight.bootloader.high_fuses=0xca\n"
                 "eight.bootloader.unlock_bits=0x3F\neight.bootloader.lock_bits=0x0F\n"
                 "eight.bootloader.file=eight.hex\n");
    image.write(":041C00000C9434000C\n:00000001FF\n");
    boards.close();
    image.close();
    Emulator emulator({"--lfuse", "0xe1", "--hfuse", "0xd9", "--lock", "0xfc"});
    SettingsFile file(QStringLiteral("[Config]\nCoreFolder=%1\nBoard=eight\n").arg(core.path()).toUtf8().constData());
    WindowDeps deps;
    deps.vocabulary = AskInstalledAvrdude();  // the board's build.mcu, as avrdude names its parts
    auto form = LabForm(emulator, deps);
    ASSERT_EQ(Ui(*form).boardBox->currentText(), "Bench Eight");
    Watch watch;
    watch.answer = true;
    Click(Ui(*form).burnButton);
    for (const Message &m : watch.messages)
        ADD_FAILURE() << m.text.toStdString();
    ASSERT_EQ(watch.questions.size(), 1u);
    EXPECT_TRUE(watch.questions[0].startsWith("Bench Eight: 16 MHz crystal.")) << watch.questions[0].toStdString();
    const QString output = Ui(*form).outputPane->outputText();
    EXPECT_LT(output.indexOf("lfuse verified"), output.indexOf("flash verified")) << output.toStdString();
    EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("Bootloader burned, 2 steps: avrdude finished"))
        << Ui(*form).runStrip->text().toStdString();
    const QJsonObject chip = emulator.Chip();
    EXPECT_EQ(chip["lfuse"].toInt(), 0xDF);
    EXPECT_EQ(chip["hfuse"].toInt(), 0xCA);
    EXPECT_EQ(chip["lock"].toInt(), 0xCF);
    EXPECT_EQ(chip["flash"].toString().mid(0x1C00 * 2, 8), "0c943400");
}

// MiniCore installed as a user installs it, its ATmega8 board with the internal 8 MHz clock: Burn
// Bootloader runs the core's own recipe (binary fuse values built from the menus), and the chip
// ends with the board's fuses and its urboot image.
TEST(Lab, BurnBootloaderOfAMiniCoreBoard)
{
    QTemporaryDir home;
    InstallCore(home.path(), QStringLiteral(FUSEWERK_CORES "/MiniCore/avr"), "MiniCore");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    Emulator emulator({"--lfuse", "0xe1", "--hfuse", "0xd9"});
    SettingsFile file("[Config]\nBoard=MiniCore:avr:8\nBoardOptions=clock=8MHz_internal\n");
    WindowDeps deps;
    deps.vocabulary = AskInstalledAvrdude();
    auto form = LabForm(emulator, deps);
    qputenv("HOME", oldHome);
    ASSERT_TRUE(Ui(*form).boardBox->currentText().endsWith("ATmega8"));
    auto *clock = form->findChild<QComboBox *>("BoardMenu_clock");
    ASSERT_NE(clock, nullptr);
    EXPECT_EQ(clock->currentText(), "Internal 8 MHz");
    Watch watch;
    Click(Ui(*form).burnButton);
    for (const Message &m : watch.messages)
        ADD_FAILURE() << m.text.toStdString();
    EXPECT_TRUE(watch.questions.empty()) << "nothing outside the chip, nothing that locks it out";
    EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("Bootloader burned, 2 steps: avrdude finished"))
        << Ui(*form).runStrip->text().toStdString() << Ui(*form).outputPane->outputText().toStdString();
    const QJsonObject chip = emulator.Chip();
    EXPECT_EQ(chip["lfuse"].toInt(), 0xA4) << "0b{BOD 2.7 V: 10}{8 MHz: 100100}";
    EXPECT_EQ(chip["hfuse"].toInt(), 0xD7) << "0b110{CKOPT 1}{EESAVE 0}111";
    EXPECT_EQ(chip["flash"].toString().mid(0x1E80 * 2, 8), "11248fe5") << "urboot, where the core puts it";
}

namespace {

QString Elf(const char *name) { return QStringLiteral(FUSEWERK_ELF_DIR "/") + QLatin1String(name); }

// fusewerk --program, to its end; its exit status.
int ProgramCommand(const QStringList &args, QString *errors = nullptr)
{
    QProcess program;
    program.start(QStringLiteral(FUSEWERK_PROGRAM), QStringList{"--program"} + args);
    EXPECT_TRUE(program.waitForFinished(60000));
    if (errors)
        *errors = QString::fromUtf8(program.readAllStandardError());
    return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
}

QStringList LogLines(const QString &path)
{
    QFile log(path);
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList{};
}

}  // namespace

// Program Chip in the window, board after board: the file's values in the editors before anything
// runs; each board gets the file's flash, EEPROM, fuses and lock and the next serial number, which is
// kept in the settings file at once; a log line per board.
TEST(Lab, ProgramChipBoardAfterBoardWithSerialNumbers)
{
    Emulator emulator;
    QTemporaryDir dir;
    const QString log = dir.filePath("boards.csv");
    SettingsFile file(QStringLiteral("[Config]\nProgramFile=%1\nProgramLog=%2\nSerialAddress=0x10\nSerialNext=41\n")
                          .arg(Elf("whole_m8.elf"), log).toUtf8().constData());
    WindowDeps deps;
    deps.vocabulary = AskInstalledAvrdude();
    auto form = LabForm(emulator, deps);
    Click(Ui(*form).programButton);
    auto *dialog = form->findChild<QWidget *>("ProgramDialog");
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(Ui(*form).byteEditor(High)->hexField()->maskedText(), "D9");
    EXPECT_EQ(Ui(*form).byteEditor(Lock)->hexField()->maskedText(), "CF");
    Watch watch;
    for (int board = 0; board < 2; ++board) {
        QTest::mouseClick(dialog->findChild<QPushButton *>("ProgramChipButton"), Qt::LeftButton);
        WaitForRun(*form);
    }
    EXPECT_TRUE(watch.messages.empty() && watch.questions.empty());
    // The serial number goes in after the file's EEPROM and before the fuses; the lock is last.
    EXPECT_TRUE(Ui(*form).commandLine->text().contains("serial-1.hex:i -U lfuse:w:0xE4:m -U hfuse:w:0xD9:m -U lock:w:0xCF:m"))
        << Ui(*form).commandLine->text().toStdString();
    EXPECT_TRUE(Ui(*form).commandLine->text().endsWith("-U lock:w:0xCF:m")) << Ui(*form).commandLine->text().toStdString();
    EXPECT_EQ(dialog->findChild<QLineEdit *>("SerialNext")->text(), "43");
    EXPECT_TRUE(SettingsFile::Read().contains("SerialNext=43")) << "kept at once, not only at the close";
    const QJsonObject chip = emulator.Chip();
    EXPECT_EQ(chip["lfuse"].toInt(), 0xE4);
    EXPECT_EQ(chip["hfuse"].toInt(), 0xD9);
    EXPECT_EQ(chip["lock"].toInt(), 0xCF);
    EXPECT_EQ(chip["eeprom"].toString().left(48), "68656c6c6f00ffffffffffffffffffff2a000000ffffffff") << "hello, and serial 42 at 0x10";
    const images::MemoryFile flash = images::ReadForWrite(Elf("whole_m8.elf"), 'e', {"flash", 8192});
    EXPECT_EQ(chip["flash"].toString().left(flash.count * 2), flash.bytes.left(flash.count).toHex());
    const QStringList lines = LogLines(log);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[2].endsWith(",ATmega8,1E9307,42,ok,,,-c stk500v1 -P " + emulator.Port())) << lines[2].toStdString();

    // Without an ELF file: the window's flash file and the editors' values that were read, typed or
    // set (the fuses typed here; the lock the file set before), the lock last.
    const QString hex = dir.filePath("set.hex");
    QFile image(hex);
    ASSERT_TRUE(image.open(QIODevice::WriteOnly));
    image.write(IntelHex(QByteArray("\x01\x02\x03\x04", 4)).toLatin1());
    image.close();
    dialog->findChild<QLineEdit *>("ProgramFile")->clear();
    dialog->findChild<QCheckBox *>("SerialOn")->setChecked(false);
    Ui(*form).flashFile->setText(hex);
    Ui(*form).byteEditor(Low)->hexField()->setMaskedText("E1");
    Ui(*form).byteEditor(High)->hexField()->setMaskedText("D9");
    QTest::mouseClick(dialog->findChild<QPushButton *>("ProgramChipButton"), Qt::LeftButton);
    WaitForRun(*form);
    EXPECT_TRUE(Ui(*form).commandLine->text().endsWith("-U lfuse:w:0xE1:m -U hfuse:w:0xD9:m -U lock:w:0xCF:m"))
        << Ui(*form).commandLine->text().toStdString();
    EXPECT_EQ(emulator.Chip()["lfuse"].toInt(), 0xE1);
    EXPECT_EQ(emulator.Chip()["flash"].toString().left(8), "01020304");
}

// Program Chip in the window on two stations: the programmer plugged in offered as a station, two
// typed ones programming a board each side by side, each row saying its board's serial number; a
// number handed out when the program last ended is said in the log and goes to the first board.
TEST(Lab, ProgramChipOnStationsInTheWindow)
{
    Emulator first, second;
    QTemporaryDir dir;
    const QString log = dir.filePath("boards.csv");
    SettingsFile file(QStringLiteral("[Config]\nProgramFile=%1\nProgramLog=%2\nSerialAddress=0x10\nSerialNext=46\n"
                                     "SerialPending=45@-c%20stk500v1%20-P%20gone\n")
                          .arg(Elf("whole_m8.elf"), log).toUtf8().constData());
    WindowDeps deps;
    deps.vocabulary = AskInstalledAvrdude();
    deps.listUsb = [] {
        return std::vector<attached::UsbDevice>{{"/sys/devices/usb1/1-1", 1, 2, 0x16c0, 0x05dc, "www.fischl.de", "USBasp", "A1B2",
                                                 "/dev/bus/usb/001/002", {}, {}}};
    };
    auto form = LabForm(first, deps);
    Click(Ui(*form).programButton);
    auto *dialog = form->findChild<QWidget *>("ProgramDialog");
    ASSERT_TRUE(dialog);
    auto *table = dialog->findChild<QTableWidget *>("ProgramStations");
    QTest::mouseClick(dialog->findChild<QPushButton *>("AddAttachedStations"), Qt::LeftButton);
    ASSERT_EQ(table->rowCount(), 1);
    EXPECT_EQ(table->item(0, 0)->text(), "-c usbasp -P usb:A1B2") << "a USB programmer by its serial number";
    table->setCurrentCell(0, 0);
    QTest::mouseClick(dialog->findChild<QPushButton *>("RemoveStation"), Qt::LeftButton);
    for (const Emulator *e : {&first, &second}) {
        dialog->findChild<QLineEdit *>("StationText")->setText("-c stk500v1 -P " + e->Port());
        QTest::mouseClick(dialog->findChild<QPushButton *>("AddStation"), Qt::LeftButton);
    }
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(dialog->findChild<QLineEdit *>("SerialNext")->text(), "45") << "the number handed out before the crash comes first";
    Watch watch;
    QTest::mouseClick(dialog->findChild<QPushButton *>("ProgramChipButton"), Qt::LeftButton);
    WaitForRun(*form);
    EXPECT_TRUE(watch.messages.empty() && watch.questions.empty());
    QSet<quint32> serials;
    for (int row = 0; row < 2; ++row) {
        const QString state = table->item(row, 1)->text();
        EXPECT_TRUE(state.startsWith("done, serial ")) << state.toStdString();
        serials << state.section(' ', -1).toUInt();
        EXPECT_EQ(table->item(row, 3)->text(), "1, 0");
    }
    EXPECT_EQ(serials, (QSet<quint32>{45, 46}));
    const QByteArray eeprom[] = {QByteArray::fromHex(first.Chip()["eeprom"].toString().mid(0x20, 2).toLatin1()),
                                 QByteArray::fromHex(second.Chip()["eeprom"].toString().mid(0x20, 2).toLatin1())};
    EXPECT_EQ(QSet<int>({quint8(eeprom[0][0]), quint8(eeprom[1][0])}), (QSet<int>{45, 46}));
    EXPECT_EQ(dialog->findChild<QLineEdit *>("SerialNext")->text(), "47");
    const QString saved = SettingsFile::Read();
    EXPECT_TRUE(saved.contains("SerialNext=47") && saved.contains("Stations=-c stk500v1 -P " + first.Port() + " ; -c stk500v1 -P " + second.Port()))
        << saved.toStdString();
    const QStringList lines = LogLines(log);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[1].contains(",45,reissued,,") && lines[1].endsWith(",-c stk500v1 -P gone")) << lines[1].toStdString();

    // A settings file that cannot take the next numbers: no board starts, and the chips keep theirs.
    ASSERT_TRUE(QFile::setPermissions(SettingsFile::Path(), QFile::ReadOwner));
    QTest::mouseClick(dialog->findChild<QPushButton *>("ProgramChipButton"), Qt::LeftButton);
    WaitForRun(*form);
    for (int row = 0; row < 2; ++row)
        EXPECT_TRUE(table->item(row, 1)->text().startsWith("failed: the settings file") && table->item(row, 1)->text().contains("cannot be written"))
            << table->item(row, 1)->text().toStdString();
    EXPECT_EQ(first.Chip()["eeprom"].toString().mid(0x20, 2).toUInt(nullptr, 16) + second.Chip()["eeprom"].toString().mid(0x20, 2).toUInt(nullptr, 16), 45u + 46u);
    EXPECT_EQ(LogLines(log).size(), 4) << "no board was programmed";
    ASSERT_EQ(watch.messages.size(), 1u) << "said once, not once a station";
    EXPECT_TRUE(watch.messages[0].text.contains("cannot be written")) << watch.messages[0].text.toStdString();
    QFile::setPermissions(SettingsFile::Path(), QFile::ReadOwner | QFile::WriteOwner);
}

// fusewerk --program: a lock-out value asks (exit 3, nothing written), a file for another part is
// refused (exit 2), the wrong chip on the bench runs nothing (exit 1); the log keeps every line
// whole when the program is killed during the next board.
TEST(Lab, ProgramFromTheCommandLine)
{
    Emulator emulator;
    QTemporaryDir dir;
    const QString log = dir.filePath("boards.csv");
    const QStringList target{"-p", "m8", "-c", "stk500v1", "-P", emulator.Port(), "--log", log};
    QString errors;
    EXPECT_EQ(ProgramCommand(QStringList{Elf("lockout_m8.elf")} + target, &errors), 3);
    EXPECT_TRUE(errors.contains("RSTDISBL")) << errors.toStdString();
    EXPECT_EQ(ProgramCommand(QStringList{Elf("whole_m328p.elf")} + target, &errors), 2);
    EXPECT_TRUE(errors.contains("whole_m328p.elf was built for the ATmega328P, not the ATmega8")) << errors.toStdString();
    EXPECT_EQ(emulator.Chip()["hfuse"].toInt(), 0xD9) << "nothing written";
    EXPECT_EQ(ProgramCommand(QStringList{Elf("whole_m8.elf"), "--serial-at", "0x20", "--serial", "7"} + target), 0);
    EXPECT_EQ(emulator.Chip()["lfuse"].toInt(), 0xE4);
    EXPECT_EQ(emulator.Chip()["eeprom"].toString().mid(0x20 * 2, 8), "07000000");

    QProcess killed;
    killed.setProcessChannelMode(QProcess::MergedChannels);
    killed.start(QStringLiteral(FUSEWERK_PROGRAM), QStringList{"--program", Elf("whole_m8.elf")} + target);
    ASSERT_TRUE(QTest::qWaitFor([&] { return killed.readAll().contains("device signature") || killed.state() == QProcess::NotRunning; }, 20000));
    killed.kill();
    killed.waitForFinished();
    QStringList lines = LogLines(log);
    ASSERT_GE(lines.size(), 2);
    EXPECT_TRUE(lines[1].contains(",ATmega8,1E9307,7,ok,,")) << lines[1].toStdString();

    Emulator other({"--signature", "1E950F"});
    const QStringList elsewhere{"-p", "m8", "-c", "stk500v1", "-P", other.Port(), "--log", log};
    EXPECT_EQ(ProgramCommand(QStringList{Elf("whole_m8.elf")} + elsewhere, &errors), 1);
    EXPECT_TRUE(errors.contains("Wrong chip: its signature is 1E950F")) << errors.toStdString();
    EXPECT_EQ(other.Chip()["lfuse"].toInt(), 0xE1) << "nothing written";
    lines = LogLines(log);
    EXPECT_TRUE(lines.last().contains(",1E950F,,wrong chip,signature,")) << lines.last().toStdString();

    // With -F among the extra options avrdude reads any chip's signature and goes on: the job's own
    // check still writes nothing to the wrong chip.
    session::ChipSession chip{compose::Vocabulary(AskInstalledAvrdude())};
    production::ProgramRequest request;
    request.elf = Elf("whole_m8.elf");
    request.target.device = "ATmega8";
    request.target.programmer = "stk500v1";
    request.target.port = other.Port();
    request.target.extraOptions = "-F";
    chip.setForm(request.target);
    const production::ProgramPlan plan = production::PlanProgram(request, chip.words());
    session::ProgramResult result;
    QObject::connect(&chip, &session::ChipSession::programmed, [&](const session::ProgramResult &r) { result = r; });
    QObject::connect(&chip, &session::ChipSession::question, [](const QString &, bool *yes) { *yes = true; });
    ASSERT_TRUE(chip.programChip(plan.signatureLine, plan.line, plan.signature, false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !chip.running(); }, 30000));
    EXPECT_TRUE(result.wrongChip);
    EXPECT_EQ(other.Chip()["lfuse"].toInt(), 0xE1) << "nothing written";
}

namespace {

// A CSV line's fields (quoted ones as the log writes them).
QStringList CsvFields(const QString &line)
{
    QStringList out{QString()};
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"')
            out.last() += line[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            out << QString();
        else
            out.last() += c;
    }
    return out;
}

// Emulated programmers side by side, each on its own terminal, and the stations that use them.
struct BenchOfEmulators {
    explicit BenchOfEmulators(int count, const QList<QStringList> &extra = {})
    {
        for (int i = 0; i < count; ++i) {
            emulators.push_back(std::make_unique<Emulator>(i < extra.size() ? extra[i] : QStringList{}));
            stations << "--station" << "-c stk500v1 -P " + emulators.back()->Port();
        }
    }
    // The EEPROM's four bytes at 0x10 as a serial number.
    quint32 Serial(int i) const
    {
        const QByteArray bytes = QByteArray::fromHex(emulators[i]->Chip()["eeprom"].toString().mid(0x10 * 2, 8).toLatin1());
        return quint8(bytes[0]) | quint8(bytes[1]) << 8 | quint8(bytes[2]) << 16 | quint32(quint8(bytes[3])) << 24;
    }
    std::vector<std::unique_ptr<Emulator>> emulators;
    QStringList stations;
};

// Each board of the log at `path` (its header aside): serial, result, station.
std::vector<QStringList> Boards(const QString &path)
{
    std::vector<QStringList> out;
    const QStringList lines = LogLines(path);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList f = CsvFields(lines[i]);
        out.push_back({f.value(3), f.value(4), f.value(7)});
    }
    return out;
}

// The good boards' serial numbers, in the log's order.
QList<quint32> GoodSerials(const QString &path)
{
    QList<quint32> out;
    for (const QStringList &b : Boards(path))
        if (b[1] == "ok")
            out << b[0].toUInt();
    return out;
}

// avrdude processes still running against any of `bench`'s ports.
int AvrdudesLeft(const BenchOfEmulators &bench)
{
    int left = 0;
    QDirIterator procs("/proc", QDir::Dirs | QDir::NoDotAndDotDot);
    while (procs.hasNext()) {
        QFile cmdline(procs.next() + "/cmdline");
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = cmdline.readAll().replace('\0', ' ');
        for (const auto &e : bench.emulators)
            if (text.contains("avrdude") && text.contains((" " + e->Port() + " ").toUtf8()))
                ++left;
    }
    return left;
}

}  // namespace

// Four stations share eight boards: serial numbers FIRST..FIRST+7 each once, a log line for each
// board with its station, and each chip holding the number of its station's last board. Then a
// programmer that loses its board mid-write: its number goes to another board, its station takes no
// further one, the others finish the count.
TEST(Lab, StationsShareTheBoardsAndEachNumberIsUsedOnce)
{
    QTemporaryDir dir;
    const QString elf = Elf("whole_m8.elf");
    {
        BenchOfEmulators bench(4);
        const QString log = dir.filePath("bench.csv");
        QString errors;
        ASSERT_EQ(ProgramCommand(QStringList{elf, "-p", "m8", "--count", "8", "--serial-at", "0x10", "--serial", "500", "--log", log} +
                                     bench.stations,
                                 &errors),
                  0)
            << errors.toStdString();
        QList<quint32> serials = GoodSerials(log);
        std::ranges::sort(serials);
        EXPECT_EQ(serials, (QList<quint32>{500, 501, 502, 503, 504, 505, 506, 507}));
        // Two stations on one port would have two avrdudes talk to one programmer.
        const QString twice = "-c stk500v1 -P " + bench.emulators[0]->Port();
        EXPECT_EQ(ProgramCommand({elf, "-p", "m8", "--station", twice, "--station", twice, "--serial-at", "0x10", "--serial", "500", "--log", log}, &errors), 2);
        EXPECT_TRUE(errors.contains("Stations 1 and 2 both use the port")) << errors.toStdString();
        ASSERT_EQ(Boards(log).size(), 8u);
        EXPECT_EQ(LogLines(log).first(), "time,part,signature,serial,result,step,error,station");
        for (int i = 0; i < 4; ++i) {
            quint32 last = 0;
            for (const QStringList &b : Boards(log))
                if (b[2] == "-c stk500v1 -P " + bench.emulators[i]->Port())
                    last = b[0].toUInt();
            EXPECT_NE(last, 0u) << "station " << i + 1 << " programmed a board";
            EXPECT_EQ(bench.Serial(i), last) << "station " << i + 1;
        }
    }
    // The others paced, so that the lost board has failed (avrdude tries ten times, about 5 s)
    // well before the first of theirs is done (about 9 s): the fifth board is the one that gets its
    // number.
    const QStringList paced{"--delay-ms", "60"};
    BenchOfEmulators bench(4, {paced, paced, {"--mute-after-pages", "1"}, paced});
    const QString log = dir.filePath("lost.csv");
    QString errors;
    EXPECT_EQ(ProgramCommand(QStringList{elf, "-p", "m8", "--count", "5", "--serial-at", "0x10", "--serial", "900", "--log", log} +
                                 bench.stations,
                             &errors),
              1);
    const QString lost = "-c stk500v1 -P " + bench.emulators[2]->Port();
    int failed = 0, onLost = 0;
    for (const QStringList &b : Boards(log)) {
        failed += b[1] == "failed";
        onLost += b[2] == lost;
        if (b[1] == "failed")
            EXPECT_EQ(b[0], "") << "a failed board keeps no number";
    }
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(onLost, 1) << "the station whose board failed took no further one";
    QList<quint32> serials = GoodSerials(log);
    std::ranges::sort(serials);
    EXPECT_EQ(serials, (QList<quint32>{900, 901, 902, 903})) << "the failed board's number went to another board";
    EXPECT_TRUE(errors.contains("4 programmed and verified, 1 failed")) << errors.toStdString();
}

// Stations stopped (a termination signal: what Stop does) and the program killed outright: no
// avrdude is left running, and over all the runs the good boards' numbers run on without a gap or
// a double; a number handed out when the program was killed is handed out again, said in the log.
TEST(Lab, StopAndKillLoseNoSerialNumber)
{
    QTemporaryDir dir;
    const QString log = dir.filePath("boards.csv");
    // Paced programmers: the boards take long enough to be caught under way.
    BenchOfEmulators bench(4, QList<QStringList>(4, {"--delay-ms", "3"}));
    const QStringList command = QStringList{Elf("whole_m8.elf"), "-p", "m8", "--serial-at", "0x10", "--serial", "100", "--log", log} +
                                bench.stations;
    const auto underWay = [&](int signal) {
        QProcess run;
        run.start(QStringLiteral(FUSEWERK_PROGRAM), QStringList{"--program"} + command + QStringList{"--count", "40"});
        const qsizetype before = GoodSerials(log).size();
        EXPECT_TRUE(QTest::qWaitFor([&] { return GoodSerials(log).size() >= before + 2; }, 60000));
        ::kill(static_cast<pid_t>(run.processId()), signal);
        EXPECT_TRUE(run.waitForFinished(20000));
        return run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1;
    };

    EXPECT_EQ(underWay(SIGKILL), -1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return AvrdudesLeft(bench) == 0; }, 5000)) << "avrdude ends with the program";
    bool found = false;
    QString error;
    const std::optional<production::SerialBook> book = production::LoadBookFile(log + ".serial", &found, &error);
    ASSERT_TRUE(book && found) << error.toStdString();
    EXPECT_FALSE(book->pending.empty()) << "boards were under way when the program was killed";
    QString errors;
    EXPECT_EQ(ProgramCommand(command + QStringList{"--count", "4"}, &errors), 0) << errors.toStdString();
    int reissued = 0;
    for (const QStringList &b : Boards(log))
        if (b[1] == "reissued") {
            ++reissued;
            EXPECT_EQ(book->pending.count(b[0].toUInt()), 1u) << b[0].toStdString();
            EXPECT_EQ(b[2], book->pending.at(b[0].toUInt()));
        }
    EXPECT_EQ(reissued, static_cast<int>(book->pending.size()));

    EXPECT_EQ(underWay(SIGTERM), 1) << "stopped boards are not done";
    EXPECT_EQ(AvrdudesLeft(bench), 0);
    int stopped = 0;
    for (const QStringList &b : Boards(log))
        stopped += b[1] == "stopped";
    EXPECT_GE(stopped, 1);
    EXPECT_EQ(ProgramCommand(command + QStringList{"--count", "4"}, &errors), 0) << errors.toStdString();

    QList<quint32> serials = GoodSerials(log);
    std::ranges::sort(serials);
    ASSERT_GE(serials.size(), 12);
    for (qsizetype i = 0; i < serials.size(); ++i)
        EXPECT_EQ(serials[i], 100u + i) << "no number twice, none left out";
}

// fusewerk --program refuses before anything runs what it cannot do whole: a log it cannot keep (a
// FIFO, a device, a folder that is not there), a serial number it cannot read or place; and asks
// about lock mode 2. Serial numbers are decimal as written.
TEST(Lab, ProgramFromTheCommandLineRefusesBeforeAnythingRuns)
{
    Emulator emulator;
    QTemporaryDir dir;
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0600), 0);
    const QStringList target{"-p", "m8", "-c", "stk500v1", "-P", emulator.Port()};
    const QString elf = Elf("whole_m8.elf");
    QString errors;
    for (const QString &log : {dir.filePath("fifo"), QStringLiteral("/nonexistent/dir/log.csv"), QStringLiteral("/dev/full")}) {
        EXPECT_EQ(ProgramCommand(QStringList{elf, "--log", log} + target, &errors), 2) << log.toStdString();
        EXPECT_TRUE(errors.contains("The log " + log)) << errors.toStdString();
    }
    EXPECT_EQ(ProgramCommand(QStringList{elf, "--serial-at", "0x20", "--serial", "4294967296"} + target, &errors), 2);
    EXPECT_TRUE(errors.contains("--serial 4294967296 is too large")) << errors.toStdString();
    EXPECT_EQ(ProgramCommand(QStringList{elf, "--serial-at", "0", "--serial", "7"} + target, &errors), 2);
    EXPECT_TRUE(errors.contains("would overwrite EEPROM data whole_m8.elf gives")) << errors.toStdString();
    EXPECT_EQ(ProgramCommand(QStringList{Elf("lockmode2_m8.elf")} + target, &errors), 3);
    EXPECT_TRUE(errors.contains("LB1 (lock mode 2)")) << errors.toStdString();
    EXPECT_EQ(emulator.Chip()["lfuse"].toInt(), 0xE1) << "nothing written";

    EXPECT_EQ(ProgramCommand(QStringList{elf, "--serial-at", "0x20", "--serial", "0100"} + target, &errors), 0) << errors.toStdString();
    EXPECT_EQ(emulator.Chip()["eeprom"].toString().mid(0x20 * 2, 8), "64000000") << "a hundred, not octal 64";
    EXPECT_EQ(ProgramCommand(QStringList{elf, "--serial-at", "32", "--serial", "0089"} + target, &errors), 0) << errors.toStdString();
    EXPECT_EQ(emulator.Chip()["eeprom"].toString().mid(0x20 * 2, 8), "59000000");
}

// "fusewerk --compare" against the emulated ATmega8 (its flash blank): a file that differs in three
// places names the ranges and their bytes and exits 1; bytes an Intel hex file does not give are
// none of the comparison, and a file that matches exits 0; a programmer that does not answer exits 2.
TEST(Lab, CompareFromTheCommandLine)
{
    QTemporaryDir dir;
    QByteArray blank(64, char(0xFF)), differing = blank;
    differing[0x10] = 1;
    differing[0x11] = 2;
    differing[0x20] = 0x55;
    differing[0x3F] = 0;
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    const QString raw = write("differs.bin", differing);
    // Two records with a gap between them: 0x00-0x0F blank, 0x40-0x4F blank; the gap is not given.
    const QString hex = write("gapped.hex", (IntelHex(blank.left(16)).section('\n', 0, 0) + '\n' +
                                             ":10004000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFC0\n:00000001FF\n").toLatin1());
    Emulator emulator;
    const auto compare = [&](const QStringList &args, QString *out) {
        QProcess program;
        program.start(QStringLiteral(FUSEWERK_PROGRAM), QStringList{"--compare"} + args);
        EXPECT_TRUE(program.waitForFinished(60000));
        *out = QString::fromUtf8(program.readAllStandardOutput());
        return program.exitCode();
    };
    const QStringList target{"-p", "m8", "-c", "stk500v1", "-P", emulator.Port()};
    QString out;
    EXPECT_EQ(compare(QStringList{raw + ":r"} + target, &out), 1);
    EXPECT_EQ(out, "0x0010-0x0011 (2 bytes): chip FF FF, file 01 02\n"
                   "0x0020-0x0020 (1 byte): chip FF, file 55\n"
                   "0x003f-0x003f (1 byte): chip FF, file 00\n" +
                       raw + " of ATmega8 flash: 3 ranges, 4 bytes differ (of 64 the file gives)\n")
        << out.toStdString();
    EXPECT_EQ(compare(QStringList{hex} + target, &out), 0) << out.toStdString();
    EXPECT_TRUE(out.endsWith("The chip holds every byte the file gives (32)\n")) << out.toStdString();
    emulator.Stop();
    EXPECT_EQ(compare(QStringList{hex} + target, &out), 2) << "the programmer does not answer";
    EXPECT_TRUE(out.isEmpty()) << out.toStdString();
}

// Memories in the window: the ATmega8's flash read whole from the emulated chip (from the raw file
// avrdude wrote) into the hex view, an image laid over it with its differing ranges stepped
// through, and Go to an address.
TEST(Lab, TheWindowShowsTheFlashAndWhereAFileDiffers)
{
    QTemporaryDir dir;
    QByteArray image(64, char(0xFF));
    image[0x10] = 1;
    image[0x11] = 2;
    image[0x3F] = 0;
    QFile file(dir.filePath("differs.hex"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(IntelHex(image).toLatin1());
    file.close();
    SettingsFile none;
    Emulator emulator;
    WindowDeps deps;
    deps.vocabulary = AskInstalledAvrdude();
    auto form = LabForm(emulator, std::move(deps));
    window::MemoryDialog *dialog = OpenMemories(*form);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->findChild<QComboBox *>("MemoryName")->itemData(0).toString(), "eeprom");
    dialog->findChild<QLineEdit *>("MemoryFile")->setText(file.fileName());
    ReadInMemories(*form, *dialog, "flash");
    ASSERT_EQ(dialog->model()->bytes().size(), 8192) << Ui(*form).outputPane->outputText().toStdString();
    EXPECT_EQ(dialog->model()->bytes(), QByteArray(8192, char(0xFF))) << "the blank chip";
    EXPECT_EQ(dialog->model()->rowCount(), 512);
    EXPECT_EQ(dialog->model()->headerData(511, Qt::Vertical, Qt::DisplayRole).toString(), "001FF0");
    // Compared at once with the file named: its first difference shown.
    EXPECT_TRUE(dialog->findChild<QLabel *>("MemorySummary")->text().endsWith("2 ranges, 3 bytes differ (of 64 the file gives)."))
        << dialog->findChild<QLabel *>("MemorySummary")->text().toStdString();
    auto *where = dialog->findChild<QLabel *>("MemoryWhere");
    EXPECT_TRUE(where->text().startsWith("flash 0x0010 (16): 0xFF; difference 1 of 2")) << where->text().toStdString();
    QTest::mouseClick(dialog->findChild<QPushButton *>("MemoryNext"), Qt::LeftButton);
    EXPECT_TRUE(where->text().startsWith("flash 0x003f (63): 0xFF; difference 2 of 2")) << where->text().toStdString();
    const QModelIndex marked = dialog->model()->index(3, 15), plain = dialog->model()->index(3, 14), past = dialog->model()->index(4, 0);
    EXPECT_TRUE(marked.data(Qt::BackgroundRole).isValid());
    EXPECT_FALSE(plain.data(Qt::BackgroundRole).isValid());
    EXPECT_TRUE(past.data(Qt::ToolTipRole).toString().contains("does not give")) << "past the file's end";
    dialog->goTo(0x1F00);
    EXPECT_TRUE(where->text().startsWith("flash 0x1f00 (7936)")) << where->text().toStdString();
    // Saved as shown: the whole memory, read back the same.
    ASSERT_TRUE(dialog->saveAs(dir.filePath("flash.srec"), u's'));
    EXPECT_EQ(images::ReadForWrite(dir.filePath("flash.srec"), u's', {"flash", 8192}).bytes, dialog->model()->bytes());
    EXPECT_FALSE(dialog->saveAs(dir.filePath("no/such/folder/flash.hex"), u'i'));
}

// What Memories saves, avrdude reads back byte for byte: the EEPROM's 512 bytes in each format
// written to the emulated chip by the real avrdude and read back raw; 256 KB (extended addresses,
// S2 records) read back by avrdude's rules.
TEST(Lab, SavedImagesReadBackAsTheyWereSaved)
{
    QTemporaryDir dir;
    QByteArray eeprom(512, Qt::Uninitialized), flash(256 * 1024, Qt::Uninitialized);
    for (qsizetype i = 0; i < eeprom.size(); ++i)
        eeprom[i] = char((i * 37 + 11) & 0xFF);
    for (qsizetype i = 0; i < flash.size(); ++i)
        flash[i] = char((i * 13 + (i >> 16)) & 0xFF);
    Emulator emulator;
    for (const QChar format : {u'i', u's', u'r'}) {
        const QString saved = dir.filePath(QStringLiteral("eeprom.%1").arg(format)), back = dir.filePath("back.bin");
        QFile file(saved);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(images::WriteImage(eeprom, format));
        file.close();
        QFile::remove(back);
        QProcess avrdude;
        avrdude.setProcessChannelMode(QProcess::MergedChannels);
        avrdude.start("avrdude", {"-p", "m8", "-c", "stk500v1", "-P", emulator.Port(), "-q", "-U",
                                  QStringLiteral("eeprom:w:%1:%2").arg(saved).arg(format), "-U", "eeprom:r:" + back + ":r"});
        ASSERT_TRUE(avrdude.waitForFinished(60000));
        EXPECT_EQ(avrdude.exitCode(), 0) << avrdude.readAll().toStdString();
        QFile read(back);
        ASSERT_TRUE(read.open(QIODevice::ReadOnly)) << QString(format).toStdString();
        EXPECT_EQ(read.readAll(), eeprom) << "format " << QString(format).toStdString();
        const QString big = dir.filePath(QStringLiteral("flash.%1").arg(format));
        QFile large(big);
        ASSERT_TRUE(large.open(QIODevice::WriteOnly));
        large.write(images::WriteImage(flash, format));
        large.close();
        const images::MemoryFile image = images::ReadForWrite(big, format, {"flash", flash.size()});
        EXPECT_TRUE(image.ok()) << image.error.toStdString();
        EXPECT_EQ(image.bytes, flash) << "format " << QString(format).toStdString();
    }
}

// EEPROM typed over in Memories: two bytes changed are marked until written, undo and redo step
// through them, one Write writes the memory whole and reads it back; the emulated chip holds the
// two bytes and nothing else changed. Flash is read-only.
TEST(Lab, EepromEditedInTheViewIsWrittenBackWhole)
{
    SettingsFile none;
    Emulator emulator;
    WindowDeps deps;
    deps.vocabulary = AskInstalledAvrdude();
    auto form = LabForm(emulator, std::move(deps));
    window::MemoryDialog *dialog = OpenMemories(*form);
    ASSERT_NE(dialog, nullptr);
    ReadInMemories(*form, *dialog, "eeprom");
    window::MemoryModel *model = dialog->model();
    ASSERT_EQ(model->bytes().size(), 512);
    auto *write = dialog->findChild<QPushButton *>("MemoryWrite");
    EXPECT_FALSE(write->isEnabled());
    EXPECT_FALSE(model->setData(model->index(0, 0), "1G")) << "not hex";
    EXPECT_TRUE(model->setData(model->index(0, 1), "5a"));
    EXPECT_TRUE(model->setData(model->index(31, 15), "00"));
    EXPECT_TRUE(model->setData(model->index(2, 2), "42"));
    EXPECT_EQ(model->changed(), 3);
    EXPECT_TRUE(model->index(0, 1).data(Qt::FontRole).isValid()) << "marked until written";
    EXPECT_TRUE(model->undo());
    EXPECT_EQ(model->changed(), 2);
    EXPECT_TRUE(model->redo());
    EXPECT_TRUE(model->undo());
    EXPECT_EQ(model->index(2, 2).data().toString(), "FF");
    // A row's text typed over is one step: undone at once.
    EXPECT_TRUE(model->setData(model->index(4, window::MemoryModel::kText), "Hi"));
    EXPECT_EQ(model->bytes().mid(64, 2), "Hi");
    EXPECT_FALSE(model->setData(model->index(4, window::MemoryModel::kText), QString(17, u'x'))) << "past the row";
    EXPECT_TRUE(model->undo());
    EXPECT_EQ(model->bytes().mid(64, 2), "\xFF\xFF");
    EXPECT_EQ(model->changed(), 2);
    ASSERT_TRUE(write->isEnabled());
    QTest::mouseClick(write, Qt::LeftButton);
    WaitForRun(*form);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->running() && model->changed() == 0 && model->bytes()[1] == 0x5A; }, 30000))
        << "read back after the write";
    QByteArray wanted(512, char(0xFF));
    wanted[1] = 0x5A;
    wanted[511] = 0;
    EXPECT_EQ(model->bytes(), wanted);
    EXPECT_EQ(emulator.Chip()["eeprom"].toString(), QString::fromLatin1(wanted.toHex()));
    EXPECT_EQ(emulator.Chip()["flash"].toString(), QString(8192 * 2, u'f')) << "the flash untouched";
    // Found by its bytes, and round the end.
    auto *where = dialog->findChild<QLabel *>("MemoryWhere");
    EXPECT_TRUE(dialog->find("5A FF"));
    EXPECT_TRUE(where->text().startsWith("eeprom 0x0001 (1)")) << where->text().toStdString();
    EXPECT_TRUE(dialog->find("ff 00"));
    EXPECT_TRUE(where->text().startsWith("eeprom 0x01fe (510)")) << where->text().toStdString();
    EXPECT_TRUE(dialog->find("5a"));
    EXPECT_TRUE(where->text().startsWith("eeprom 0x0001 (1)")) << "round the end";
    EXPECT_TRUE(dialog->find("\"Z\"")) << "0x5A as text";
    EXPECT_FALSE(dialog->find("\"Q\""));
    // Flash cannot be typed over.
    ReadInMemories(*form, *dialog, "flash");
    EXPECT_FALSE(model->flags(model->index(0, 0)) & Qt::ItemIsEditable);
}
