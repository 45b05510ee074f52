// The settings file through the real window: load order, save, and what survives a restart.
#include "tests/printing.h"
#include "window/main_window.h"
#include "runner/command_split.h"
#include "tests/helpers.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {
bool Close(MainWindow &form)
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
    MainWindow form;
    EXPECT_EQ(form.windowTitle(), "My programmer");
    EXPECT_EQ(Ui(form).flashFormat->currentText(), "Motorola");
    EXPECT_EQ(Ui(form).eepromFormat->currentText(), "Immediate mode");
    EXPECT_EQ(Ui(form).deviceBox->currentText(), "ATmega8");
    EXPECT_EQ(Ui(form).programmerBox->currentText(), "stk500v1");
    EXPECT_EQ(Ui(form).portBox->currentText(), "com1");
    EXPECT_EQ(form.session().readLine(), 5);
    EXPECT_TRUE(Ui(form).verboseBox->isChecked()) << "Opt7 is -v";
    EXPECT_FALSE(Ui(form).resetBox->isChecked());
    EXPECT_TRUE(Ui(form).noResetBox->isChecked()) << "the later box of a pair wins";
    EXPECT_FALSE(Ui(form).vccBox->isChecked());
    EXPECT_TRUE(Ui(form).noVccBox->isChecked());
    EXPECT_EQ(Ui(form).commandLine->text(), "avrdude.exe -p m8 -c stk500v1 -P com1 -v -E noreset -E novcc -B 4");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "ATmega8");
    EXPECT_FALSE(Ui(form).byteEditor(Extended)->hexField()->isEnabled()) << "the layout matches the loaded device";

    Ui(form).programmerBox->setEditText("usbasp");
    EXPECT_EQ(form.session().readLine(), 3);
    Ui(form).programmerBox->setEditText("USBASP");
    EXPECT_EQ(form.session().readLine(), 3) << "no match keeps the index";
    Ui(form).programmerBox->setEditText("stk500v1");
    EXPECT_EQ(form.session().readLine(), 5);
}

TEST(Settings, IndexesOutsideTheLists)
{
    SettingsFile file("[Config]\nDevice=-1\nProgrammer=-1\nPort=99\nFlashFormat=-1\nEEPROMFormat=letters\n");
    MainWindow form;
    EXPECT_EQ(Ui(form).deviceBox->currentText(), "ATmega8");
    EXPECT_EQ(Ui(form).programmerBox->currentText(), "usbasp");
    EXPECT_EQ(form.session().readLine(), 1) << "the usbasp default";
    EXPECT_EQ(Ui(form).portBox->currentText(), "");
    EXPECT_EQ(Ui(form).flashFormat->currentText(), "");
    EXPECT_EQ(Ui(form).eepromFormat->currentText(), "Intel Hex");
    EXPECT_EQ(Ui(form).commandLine->text(), R"(avrdude.exe -p m8 -c usbasp )");
}

TEST(Settings, AFreshSaveWritesEveryKeyInOrder)
{
    SettingsFile none;
    {
        MainWindow form;
        Ui(form).deviceBox->setCurrentIndex(18);
        Ui(form).programmerBox->setCurrentIndex(39);
        Ui(form).noVerifyBox->setChecked(true);
        Ui(form).resetBox->setChecked(true);
        Ui(form).flashWrite->setChecked(true);  // the operation boxes are not kept
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
        MainWindow form;
        EXPECT_EQ(form.windowTitle(), "");
        EXPECT_TRUE(Ui(form).chipEraseBox->isChecked());
        Ui(form).deviceBox->setCurrentIndex(21);
        Ui(form).programmerBox->setCurrentIndex(37);
        Ui(form).extraOptions->setText("-B 4 ");
        Ui(form).flashFile->setText(QString::fromUtf8(" /tmp/Gr\xc3\xbc\xc3\x9f e=;[x].hex"));
        Ui(form).eepromFile->setText(R"("quoted" -U lock:w:0x00:m "x\)");
        ASSERT_TRUE(Close(form));
    }
    const QString saved = SettingsFile::Read();
    EXPECT_TRUE(saved.startsWith("; kept\n[ReadFuseFromLine]\nstk500v1 = 5\n\n[Config]\nCaption=\nOpt2=1\n"
                                 "ExitMode1=0\nExitMode2=1\n"))
        << saved.toStdString();
    EXPECT_TRUE(saved.endsWith("[Mine]\nx=y\n"));
    MainWindow again;
    EXPECT_EQ(Ui(again).deviceBox->currentText(), "ATmega88");
    EXPECT_EQ(Ui(again).programmerBox->currentText(), "stk500v1");
    EXPECT_EQ(again.session().readLine(), 5);
    EXPECT_EQ(Ui(again).extraOptions->text(), "-B 4 ");
    EXPECT_EQ(Ui(again).flashFile->text(), QString::fromUtf8(" /tmp/Gr\xc3\xbc\xc3\x9f e=;[x].hex"));
    EXPECT_EQ(Ui(again).eepromFile->text(), R"("quoted" -U lock:w:0x00:m "x\)");
    Ui(again).eepromWrite->setChecked(true);
    Ui(again).eepromFormat->setEditText("Raw binary");
    const QStringList args = runner::SplitCommandLine(Ui(again).commandLine->text());
    EXPECT_TRUE(args.contains(R"(eeprom:w:"quoted" -U lock:w:0x00:m "x\:r)")) << Ui(again).commandLine->text().toStdString();
    EXPECT_FALSE(args.contains("lock:w:0x00:m")) << "no operation of its own";
    EXPECT_FALSE(Ui(again).resetBox->isChecked());
    EXPECT_TRUE(Ui(again).noResetBox->isChecked());
}

TEST(Settings, ATypedDeviceIsNotKept)
{
    SettingsFile none;
    {
        MainWindow form;
        Ui(form).deviceBox->setCurrentIndex(18);
        Ui(form).deviceBox->setEditText("ATmega644");
        ASSERT_TRUE(Close(form));
    }
    MainWindow again;
    EXPECT_EQ(Ui(again).deviceBox->currentText(), "ATmega8") << "no entry selected: the text at creation";
}

TEST(Settings, AFailedSaveKeepsTheWindowOpenAndTheEarlierFileIntact)
{
    const char *earlier = "[Config]\nDevice=18\nCaption=earlier\n";
    SettingsFile file(earlier);
    MainWindow form;
    Ui(form).programmerBox->setCurrentIndex(37);
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
