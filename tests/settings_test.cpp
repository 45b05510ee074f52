// The settings file through the real window: load order, save, and what survives a restart.
#include "tests/printing.h"
#include "app/form1.h"
#include "runner/command_split.h"
#include "tests/helpers.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {
bool Close(TForm1 &form)
{
    form.show();
    return form.close();
}
}  // namespace

TEST(Settings, LoadOrderAndItsSideEffects)
{
    SettingsFile file("[Config]\nCaption=My programmer\nFlashFormat=1\nEEPROMFormat=3\nDevice=18\nProgrammer=37\n"
                      "Port=4\nFlash=/tmp/f.hex\nExtraCommandLine=-B 4\nOpt1=0\nOpt7=2\nOpt8=0\n"
                      "ExitMode1=1\nExitMode2=1\nExitMode3=1\nExitMode4=1\n"
                      "[ReadFuseFromLine]\nstk500v1=0x5\nusbasp=$3\n");
    TForm1 form;
    EXPECT_EQ(form.windowTitle(), "My programmer");
    EXPECT_EQ(form.flashFormat->Text(), "Motorola");
    EXPECT_EQ(form.eepromFormat->Text(), "Immediate mode");
    EXPECT_EQ(form.deviceBox->Text(), "ATmega8");
    EXPECT_EQ(form.programmerBox->Text(), "stk500v1");
    EXPECT_EQ(form.portBox->Text(), "com1");
    EXPECT_EQ(form.ReadLineIndex, 5);
    EXPECT_TRUE(form.verboseBox->isChecked()) << "Opt7 is -v";
    EXPECT_FALSE(form.resetBox->isChecked());
    EXPECT_TRUE(form.noResetBox->isChecked()) << "the later box of a pair wins";
    EXPECT_FALSE(form.vccBox->isChecked());
    EXPECT_TRUE(form.noVccBox->isChecked());
    EXPECT_EQ(form.commandLine->text(), "avrdude.exe -p m8 -c stk500v1 -P com1 -v -E noreset -E novcc -B 4");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "ATmega8");
    EXPECT_FALSE(form.byteEditor(Extended)->hexField()->isEnabled()) << "the layout matches the loaded device";

    form.programmerBox->SetText("usbasp");
    EXPECT_EQ(form.ReadLineIndex, 3);
    form.programmerBox->SetText("USBASP");
    EXPECT_EQ(form.ReadLineIndex, 3) << "no match keeps the index";
    form.programmerBox->SetText("stk500v1");
    EXPECT_EQ(form.ReadLineIndex, 5);
}

TEST(Settings, IndexesOutsideTheLists)
{
    SettingsFile file("[Config]\nDevice=-1\nProgrammer=-1\nPort=99\nFlashFormat=-1\nEEPROMFormat=letters\n");
    TForm1 form;
    EXPECT_EQ(form.deviceBox->Text(), "ATmega8");
    EXPECT_EQ(form.programmerBox->Text(), "usbasp");
    EXPECT_EQ(form.ReadLineIndex, 1) << "the usbasp default";
    EXPECT_EQ(form.portBox->Text(), "");
    EXPECT_EQ(form.flashFormat->Text(), "");
    EXPECT_EQ(form.eepromFormat->Text(), "Intel Hex");
    EXPECT_EQ(form.commandLine->text(), R"(avrdude.exe -p m8 -c usbasp )");
}

TEST(Settings, AFreshSaveWritesEveryKeyInOrder)
{
    SettingsFile none;
    {
        TForm1 form;
        form.deviceBox->setCurrentIndex(18);
        form.programmerBox->setCurrentIndex(39);
        form.noVerifyBox->setChecked(true);
        form.resetBox->setChecked(true);
        form.flashWrite->setChecked(true);  // the operation boxes are not kept
        ASSERT_TRUE(Close(form));
    }
    EXPECT_EQ(SettingsFile::Read(), "[Config]\nFlashFormat=0\nEEPROMFormat=0\nDevice=18\nProgrammer=39\nPort=0\n"
                                    "Flash=\nEEPROM=\nExtraCommandLine=\nCaption=Fusewerk 1\n"
                                    "Opt1=0\nOpt2=0\nOpt3=0\nOpt4=0\nOpt5=0\nOpt6=0\nOpt7=0\nOpt8=1\n"
                                    "ExitMode1=1\nExitMode2=0\nExitMode3=0\nExitMode4=0\n");
}

TEST(Settings, ChoicesSurviveARestartAndHandEditsAreKept)
{
    SettingsFile file("; kept\n[ReadFuseFromLine]\nstk500v1 = 5\n\n[Config]\nCaption=\nOpt2=2\nExitMode1=1\n"
                      "ExitMode2=1\n[Mine]\nx=y\n");
    {
        TForm1 form;
        EXPECT_EQ(form.windowTitle(), "");
        EXPECT_TRUE(form.chipEraseBox->isChecked());
        form.deviceBox->setCurrentIndex(21);
        form.programmerBox->setCurrentIndex(37);
        form.extraOptions->setText("-B 4 ");
        form.flashFile->setText(QString::fromUtf8(" /tmp/Gr\xc3\xbc\xc3\x9f e=;[x].hex"));
        form.eepromFile->setText(R"("quoted" -U lock:w:0x00:m "x\)");
        ASSERT_TRUE(Close(form));
    }
    const QString saved = SettingsFile::Read();
    EXPECT_TRUE(saved.startsWith("; kept\n[ReadFuseFromLine]\nstk500v1 = 5\n\n[Config]\nCaption=\nOpt2=1\n"
                                 "ExitMode1=0\nExitMode2=1\n"))
        << saved.toStdString();
    EXPECT_TRUE(saved.endsWith("[Mine]\nx=y\n"));
    TForm1 again;
    EXPECT_EQ(again.deviceBox->Text(), "ATmega88");
    EXPECT_EQ(again.programmerBox->Text(), "stk500v1");
    EXPECT_EQ(again.ReadLineIndex, 5);
    EXPECT_EQ(again.extraOptions->text(), "-B 4 ");
    EXPECT_EQ(again.flashFile->text(), QString::fromUtf8(" /tmp/Gr\xc3\xbc\xc3\x9f e=;[x].hex"));
    EXPECT_EQ(again.eepromFile->text(), R"("quoted" -U lock:w:0x00:m "x\)");
    again.eepromWrite->setChecked(true);
    again.eepromFormat->SetText("Raw binary");
    const QStringList args = runner::SplitCommandLine(again.commandLine->text());
    EXPECT_TRUE(args.contains(R"(eeprom:w:"quoted" -U lock:w:0x00:m "x\:r)")) << again.commandLine->text().toStdString();
    EXPECT_FALSE(args.contains("lock:w:0x00:m")) << "no operation of its own";
    EXPECT_FALSE(again.resetBox->isChecked());
    EXPECT_TRUE(again.noResetBox->isChecked());
}

TEST(Settings, ATypedDeviceIsNotKept)
{
    SettingsFile none;
    {
        TForm1 form;
        form.deviceBox->setCurrentIndex(18);
        form.deviceBox->SetText("ATmega644");
        ASSERT_TRUE(Close(form));
    }
    TForm1 again;
    EXPECT_EQ(again.deviceBox->Text(), "ATmega8") << "no entry selected: the text at creation";
}

TEST(Settings, AFailedSaveKeepsTheWindowOpenAndTheEarlierFileIntact)
{
    const char *earlier = "[Config]\nDevice=18\nCaption=earlier\n";
    SettingsFile file(earlier);
    TForm1 form;
    form.programmerBox->setCurrentIndex(37);
    Watch watch;
    // A full disk: no file may grow past a few bytes while the close is tried.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tiny = old;
    tiny.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &tiny);
    const bool closed = Close(form);
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(SettingsFile::Read(), earlier);
    ASSERT_EQ(watch.messages.size(), 1u);
    EXPECT_EQ(watch.messages[0].text, "Unable to write to " + SettingsFile::Path() + ".");
    EXPECT_EQ(watch.messages[0].title, "ATmega8");
    EXPECT_EQ(watch.messages[0].kind, MessageKind::Error);
    // The next close tries the whole save again.
    EXPECT_TRUE(form.close());
    EXPECT_TRUE(SettingsFile::Read().contains("Programmer=37"));
}
