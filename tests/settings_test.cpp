// The settings file through the real window: load order, save, and what survives a restart.
#include "tests/printing.h"
#include "app/form1.h"
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
    EXPECT_EQ(form.ComboBox4->Text(), "Motorola");
    EXPECT_EQ(form.ComboBox5->Text(), "Immediate mode");
    EXPECT_EQ(form.DeviceComboBox->Text(), "ATmega8");
    EXPECT_EQ(form.ProgComboBox->Text(), "stk500v1");
    EXPECT_EQ(form.PortComboBox->Text(), "com1");
    EXPECT_EQ(form.ReadLineIndex, 5);
    EXPECT_TRUE(form.CheckBox12->isChecked()) << "Opt7 is -v";
    EXPECT_FALSE(form.CheckBox13->isChecked());
    EXPECT_TRUE(form.CheckBox14->isChecked()) << "the later box of a pair wins";
    EXPECT_FALSE(form.CheckBox15->isChecked());
    EXPECT_TRUE(form.CheckBox16->isChecked());
    EXPECT_EQ(form.Edit3->text(), "avrdude.exe -p m8 -c stk500v1 -P com1 -v -E noreset -E novcc -B 4");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "ATmega8");
    EXPECT_FALSE(form.MaskEdit60->isEnabled()) << "the layout matches the loaded device";

    form.ProgComboBox->SetText("usbasp");
    EXPECT_EQ(form.ReadLineIndex, 3);
    form.ProgComboBox->SetText("USBASP");
    EXPECT_EQ(form.ReadLineIndex, 3) << "no match keeps the index";
    form.ProgComboBox->SetText("stk500v1");
    EXPECT_EQ(form.ReadLineIndex, 5);
}

TEST(Settings, IndexesOutsideTheLists)
{
    SettingsFile file("[Config]\nDevice=-1\nProgrammer=-1\nPort=99\nFlashFormat=-1\nEEPROMFormat=letters\n");
    TForm1 form;
    EXPECT_EQ(form.DeviceComboBox->Text(), "ATmega8");
    EXPECT_EQ(form.ProgComboBox->Text(), "usbasp");
    EXPECT_EQ(form.ReadLineIndex, 1) << "the usbasp default";
    EXPECT_EQ(form.PortComboBox->Text(), "");
    EXPECT_EQ(form.ComboBox4->Text(), "");
    EXPECT_EQ(form.ComboBox5->Text(), "Intel Hex");
    EXPECT_EQ(form.Edit3->text(), R"(avrdude.exe -p m8 -c usbasp )");
}

TEST(Settings, AFreshSaveWritesEveryKeyInOrder)
{
    SettingsFile none;
    {
        TForm1 form;
        form.DeviceComboBox->setCurrentIndex(18);
        form.ProgComboBox->setCurrentIndex(39);
        form.CheckBox11->setChecked(true);
        form.CheckBox13->setChecked(true);
        form.FlashWrite->setChecked(true);  // the operation boxes are not kept
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
        EXPECT_TRUE(form.CheckBox2->isChecked());
        form.DeviceComboBox->setCurrentIndex(21);
        form.ProgComboBox->setCurrentIndex(37);
        form.Edit4->setText("-B 4 ");
        form.Edit1->setText(QString::fromUtf8(" /tmp/Gr\xc3\xbc\xc3\x9f e=;[x].hex"));
        form.Edit2->setText("\"quoted\"");
        ASSERT_TRUE(Close(form));
    }
    const QString saved = SettingsFile::Read();
    EXPECT_TRUE(saved.startsWith("; kept\n[ReadFuseFromLine]\nstk500v1 = 5\n\n[Config]\nCaption=\nOpt2=1\n"
                                 "ExitMode1=0\nExitMode2=1\n"))
        << saved.toStdString();
    EXPECT_TRUE(saved.endsWith("[Mine]\nx=y\n"));
    TForm1 again;
    EXPECT_EQ(again.DeviceComboBox->Text(), "ATmega88");
    EXPECT_EQ(again.ProgComboBox->Text(), "stk500v1");
    EXPECT_EQ(again.ReadLineIndex, 5);
    EXPECT_EQ(again.Edit4->text(), "-B 4 ");
    EXPECT_EQ(again.Edit1->text(), QString::fromUtf8(" /tmp/Gr\xc3\xbc\xc3\x9f e=;[x].hex"));
    EXPECT_EQ(again.Edit2->text(), "\"quoted\"");
    EXPECT_FALSE(again.CheckBox13->isChecked());
    EXPECT_TRUE(again.CheckBox14->isChecked());
}

TEST(Settings, ATypedDeviceIsNotKept)
{
    SettingsFile none;
    {
        TForm1 form;
        form.DeviceComboBox->setCurrentIndex(18);
        form.DeviceComboBox->SetText("ATmega644");
        ASSERT_TRUE(Close(form));
    }
    TForm1 again;
    EXPECT_EQ(again.DeviceComboBox->Text(), "ATmega8") << "no entry selected: the text at creation";
}

TEST(Settings, AFailedSaveKeepsTheWindowOpenAndTheEarlierFileIntact)
{
    const char *earlier = "[Config]\nDevice=18\nCaption=earlier\n";
    SettingsFile file(earlier);
    TForm1 form;
    form.ProgComboBox->setCurrentIndex(37);
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
