// The window: every change shows the composed line at once.
#include "tests/printing.h"
#include "window/main_window.h"
#include "compose/vocabulary.h"
#include "compose/installed.h"
#include "tests/helpers.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialog>
#include <QDirIterator>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QFile>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QTemporaryDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

TEST(Window, StartsWithEveryControlAndTheDesignedCaptions)
{
    SettingsFile none;
    MainWindow form;
    // The design's form at its size (the desktop's font as large as the design's, or larger), the
    // output below it, the panel to its right, the run strip below everything; on the screen.
    const double scale = Ui(form).designForm->font().pixelSize() / 11.0;
    EXPECT_EQ(Ui(form).designForm->height(), qRound(522 * scale));
    EXPECT_GE(Ui(form).designForm->width(), qRound(626 * scale)) << "wider only where the desktop's captions need it";
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(form.geometry())) << "opens within the screen";
    EXPECT_EQ(Ui(form).deviceBox->count(), 27);
    EXPECT_EQ(Ui(form).programmerBox->count(), 40);
    ASSERT_GE(Ui(form).portBox->count(), 14);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(Ui(form).portBox->itemText(i), compose::PortList()[i]);
    EXPECT_EQ(Ui(form).portBox->itemText(Ui(form).portBox->count() - 1), "usb");
    EXPECT_EQ(Ui(form).flashFormat->count(), 4);
    EXPECT_EQ(Ui(form).eepromFormat->itemText(3), "Immediate mode");
    EXPECT_EQ(Ui(form).overrideSignatureBox->text(), "-F Override the device signature check");
    EXPECT_EQ(Ui(form).noVerifyBox->text(), "-V Disable verify check");
    // The captions as shown; the & marks each one's access key.
    EXPECT_EQ(Ui(form).exitModeGroup->title(), "-E E&xitmode");
    EXPECT_EQ(Ui(form).byteEditor(Lock)->title(), "Loc&k Fuse Byte");
    EXPECT_EQ(Ui(form).executeButton->text(), "Execu&te");
    form.show();
    form.layout()->activate();
    const QRect pane = Ui(form).outputPane->geometry(), designed = Ui(form).designScroll->geometry();
    EXPECT_EQ(designed.height(), Ui(form).designForm->height()) << "the form whole at the usual size";
    EXPECT_EQ(pane.top(), designed.bottom() + 1 + Ui(form).leftSplitter->handleWidth()) << "the output below the form";
    EXPECT_GT(Ui(form).fuseSettingsGroup->mapTo(&form, QPoint(0, 0)).x(), Ui(form).outputPane->mapTo(&form, QPoint(0, 0)).x());
    for (const widgets::ByteEditor *editor : Ui(form).byteEditors)
        for (int k = 0; k < 8; ++k)
            EXPECT_FALSE(editor->bitBox(k)->text().isEmpty());
}

TEST(Window, NoSettingsFileGivesTheEmptyFirstEntries)
{
    SettingsFile none;
    MainWindow form;
    EXPECT_EQ(Ui(form).deviceBox->currentText(), "");
    EXPECT_EQ(Ui(form).programmerBox->currentText(), "");
    EXPECT_EQ(Ui(form).portBox->currentText(), "");
    EXPECT_EQ(Ui(form).flashFormat->currentText(), "Intel Hex");
    EXPECT_EQ(Ui(form).eepromFormat->currentText(), "Intel Hex");
    EXPECT_EQ(Ui(form).commandLine->text(), "avrdude.exe ");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "");
    EXPECT_EQ(form.windowTitle(), "Fusewerk 1");
}

TEST(Window, EveryKindOfChangeRebuildsTheLine)
{
    auto form = MakeForm();
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp ");
    Ui(*form).portBox->setCurrentIndex(4);  // a pick from the list
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -P com1 ");
    QTest::mouseClick(Ui(*form).chipEraseBox, Qt::LeftButton);
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -P com1 -e ");
    Ui(*form).flashWrite->setChecked(true);  // a change made by code fires like a click
    EXPECT_EQ(Ui(*form).commandLine->text(), R"(avrdude.exe -p m8 -c usbasp -P com1 -e -U flash:w:"":i )");
    Ui(*form).flashFormat->setCurrentIndex(2);
    EXPECT_EQ(Ui(*form).commandLine->text(), R"(avrdude.exe -p m8 -c usbasp -P com1 -e -U flash:w:"":r )");
    Ui(*form).eepromWrite->setChecked(true);
    Ui(*form).eepromVerify->setChecked(true);
    EXPECT_TRUE(Ui(*form).commandLine->text().endsWith(R"(-U eeprom:w:"":i -U eeprom:v:"":i )"));
    EXPECT_EQ(Ui(*form).commandLine->text().count("eeprom:w"), 1);
}

TEST(Window, TypingRebuildsAfterEveryKeystroke)
{
    auto form = MakeForm();
    Ui(*form).flashRead->setChecked(true);
    Ui(*form).flashFile->setFocus();
    QStringList seen;
    for (QChar c : QString("b.hex")) {
        QTest::keyClick(Ui(*form).flashFile, c.toLatin1());
        seen << Ui(*form).commandLine->text();
    }
    EXPECT_EQ(seen.front(), R"(avrdude.exe -p m8 -c usbasp -U flash:r:"b":i )");
    EXPECT_EQ(seen.back(), R"(avrdude.exe -p m8 -c usbasp -U flash:r:"b.hex":i )");
    TypeInto(Ui(*form).extraOptions, "-B 4");
    EXPECT_TRUE(Ui(*form).commandLine->text().endsWith(R"(:i -B 4)"));
}

TEST(Window, TypedDeviceIsComparedExactlyAndBecomesTheTitle)
{
    auto form = MakeForm(QString());
    QLineEdit *edit = Ui(*form).deviceBox->lineEdit();
    TypeInto(edit, "atmega8");
    EXPECT_EQ(Ui(*form).deviceBox->currentText(), "atmega8") << "no completion to ATmega8";
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p  -c usbasp ");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "atmega8");
    edit->clear();
    TypeInto(edit, "ATmega8");
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp ");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "ATmega8");
}

TEST(Window, HandEditSurvivesUntilTheNextChange)
{
    auto form = MakeForm();
    Ui(*form).commandLine->setText("avrdude.exe -p m8 -c usbasp -t");
    Ui(*form).resetBox->setChecked(false);  // unchanged: nothing runs
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -t");
    QTest::mouseClick(Ui(*form).quietBox, Qt::LeftButton);
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -q ");
}

TEST(Window, ExitModePairsExcludeEachOther)
{
    auto form = MakeForm();
    QTest::mouseClick(Ui(*form).noResetBox, Qt::LeftButton);
    QTest::mouseClick(Ui(*form).resetBox, Qt::LeftButton);
    EXPECT_TRUE(Ui(*form).resetBox->isChecked());
    EXPECT_FALSE(Ui(*form).noResetBox->isChecked());
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -E reset ");
    QTest::mouseClick(Ui(*form).resetBox, Qt::LeftButton);
    EXPECT_FALSE(Ui(*form).resetBox->isChecked());
    EXPECT_FALSE(Ui(*form).noResetBox->isChecked());
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp ");
    Ui(*form).vccBox->setChecked(true);
    Ui(*form).noVccBox->setChecked(true);
    Ui(*form).resetBox->setChecked(true);
    EXPECT_FALSE(Ui(*form).vccBox->isChecked());
    EXPECT_EQ(Ui(*form).commandLine->text(), "avrdude.exe -p m8 -c usbasp -E reset -E novcc ");
}

TEST(Window, ItemIndexSetByCodeFiresNothingAndKeepsTheTextAtMinusOne)
{
    auto form = MakeForm();
    Ui(*form).commandLine->setText("hand");
    Ui(*form).deviceBox->setItemIndex(-1);
    EXPECT_EQ(Ui(*form).deviceBox->currentText(), "ATmega8");
    Ui(*form).deviceBox->setItemIndex(5);
    EXPECT_EQ(Ui(*form).deviceBox->currentText(), "AT90S4434");
    EXPECT_EQ(Ui(*form).commandLine->text(), "hand");
    Ui(*form).deviceBox->setItemIndex(99);
    EXPECT_EQ(Ui(*form).deviceBox->currentText(), "");
    EXPECT_EQ(Ui(*form).deviceBox->itemIndex(), -1);
}

TEST(Window, BrowseButtonsFillTheFileNames)
{
    QString askedDir, askedFilter;
    QString answer = "/tmp/flash image.hex";
    WindowDeps deps;
    deps.openFile = [&](const QString &dir, const QString &filter) {
        askedDir = dir;
        askedFilter = filter;
        return answer;
    };
    auto form = MakeForm("ATmega8", "usbasp", deps);
    Ui(*form).flashWrite->setChecked(true);
    QTest::mouseClick(Ui(*form).flashBrowse, Qt::LeftButton);
    EXPECT_EQ(askedDir, OwnDir() + "/");
    EXPECT_EQ(askedFilter, "*.hex ; *.rom ; *.bin (*.hex *.rom *.bin);;*.* (*)");
    EXPECT_EQ(Ui(*form).flashFile->text(), "/tmp/flash image.hex");
    EXPECT_TRUE(Ui(*form).commandLine->text().contains(R"(flash:w:"/tmp/flash image.hex":i)"));

    QTest::mouseClick(Ui(*form).flashBrowse, Qt::LeftButton);
    EXPECT_EQ(askedDir, "/tmp/");
    Ui(*form).eepromFile->setText("bare.eep");
    answer.clear();  // cancelled: nothing changes
    QTest::mouseClick(Ui(*form).eepromBrowse, Qt::LeftButton);
    EXPECT_EQ(askedDir, OwnDir() + "/");
    EXPECT_EQ(Ui(*form).eepromFile->text(), "bare.eep");
}

// At 800x550 every named control can be reached: none is cut off by its parent, and whatever does
// not fit lies in a scroll area (itself inside the window, not squeezed to nothing).
TEST(Window, AtTheSmallestSizeEveryControlCanBeReached)
{
    auto form = MakeForm();
    Ui(*form).deviceBox->setCurrentText("ATmega328P");
    form->show();
    form->resize(800, 550);
    form->layout()->activate();
    QApplication::processEvents();
    ASSERT_EQ(form->size(), QSize(800, 550));
    int checked = 0;
    for (QWidget *control : form->findChildren<QWidget *>()) {
        if (control->objectName().isEmpty() || control->objectName().startsWith("qt_") || !control->isVisibleTo(form.get()))
            continue;
        ++checked;
        for (QWidget *w = control; w != form.get(); w = w->parentWidget()) {
            QWidget *parent = w->parentWidget();
            const auto *area = parent->parentWidget() ? qobject_cast<QAbstractScrollArea *>(parent->parentWidget()) : nullptr;
            if (area && area->viewport() == parent)
                continue;  // scrolled into view when it has the focus
            EXPECT_FALSE(w->size().isEmpty()) << control->objectName().toStdString() << " in " << w->objectName().toStdString();
            EXPECT_TRUE(parent->rect().contains(w->geometry()))
                << control->objectName().toStdString() << ": " << w->objectName().toStdString() << " at "
                << QDebug::toString(w->geometry()).toStdString() << " outside " << parent->objectName().toStdString() << " "
                << QDebug::toString(parent->rect()).toStdString();
        }
    }
    EXPECT_GT(checked, 100);
}

// A larger window: the output grows taller, the panel taller and wider; the form keeps its size.
TEST(Window, TheOutputAndThePanelGrowWithTheWindow)
{
    auto form = MakeForm();
    form->show();
    form->resize(1000, 700);
    form->layout()->activate();
    const QSize pane = Ui(*form).outputPane->size(), panel = Ui(*form).panelScroll->size(),
                designed = Ui(*form).designForm->size();
    form->resize(1200, 800);
    form->layout()->activate();
    EXPECT_EQ(Ui(*form).outputPane->height(), pane.height() + 100);
    EXPECT_EQ(Ui(*form).panelScroll->height(), panel.height() + 100);
    EXPECT_GT(Ui(*form).panelScroll->width(), panel.width());
    EXPECT_EQ(Ui(*form).fuseSettingsGroup->width(), Ui(*form).panelScroll->viewport()->width()) << "the panel fills its area";
    EXPECT_EQ(Ui(*form).designForm->size(), designed);
}

// Details a new user trips over: the panel names the part chosen (or asks for one), a long device
// name shows its start, the panel's lists open wide enough for their longest entry, a long outcome
// shows whole in the run strip, and a failed Detect empties the signature of an earlier one.
TEST(Window, WhatANewUserSeesWhole)
{
    auto form = MakeForm("", "usbasp");
    auto *heading = Ui(*form).fuseSettings->findChild<QLabel *>("FuseSettingsPart");
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->text(), "Choose a device to see its fuse settings.");
    Ui(*form).deviceBox->setEditText("AT90S1200");
    Ui(*form).deviceBox->setEditText("AT90S2313");
    EXPECT_TRUE(heading->text().contains("\"AT90S2313\"")) << heading->text().toStdString();

    Ui(*form).deviceBox->setEditText("ATxmega128A1U");
    EXPECT_EQ(Ui(*form).deviceBox->lineEdit()->cursorPosition(), 0);

    // Nothing read yet: the panel does not show the editors' 00 as the chip's state.
    Ui(*form).deviceBox->setEditText("ATmega328P");
    auto *unread = Ui(*form).fuseSettings->findChild<QLabel *>("Unread_hfuse");
    ASSERT_NE(unread, nullptr);
    EXPECT_FALSE(unread->isHidden());
    Ui(*form).byteEditor(High)->hexField()->setMaskedText("D9");
    EXPECT_TRUE(unread->isHidden()) << "a value typed is shown in words";
    EXPECT_FALSE(Ui(*form).fuseSettings->findChild<QLabel *>("Unread_lock")->isHidden());
    QTest::mouseClick(Ui(*form).fuseSettings->findChild<QPushButton *>("FactoryDefaults"), Qt::LeftButton);
    EXPECT_TRUE(Ui(*form).fuseSettings->findChild<QLabel *>("Unread_lock")->isHidden());
    QComboBox *clock = Ui(*form).fuseSettings->settingBox(fuses::FuseByte::Low, "SUT_CKSEL");
    ASSERT_NE(clock, nullptr);
    int widest = 0;
    for (int i = 0; i < clock->count(); ++i)
        widest = std::max(widest, clock->view()->fontMetrics().horizontalAdvance(clock->itemText(i)));
    EXPECT_GT(clock->view()->minimumWidth(), widest);
    EXPECT_EQ(clock->view()->textElideMode(), Qt::ElideNone);

    const QString advice = "avrdude failed (exit code 1) after 0.1 s: see the end of the output. The programmer does not "
                           "answer: check the port, the programmer type (-c), the baud rate (-b) and the wiring.";
    Ui(*form).runStrip->finish(advice, true);
    EXPECT_EQ(Ui(*form).runStrip->findChild<QLabel *>("RunStatus")->text(), advice);
    form->layout()->activate();
    EXPECT_GT(Ui(*form).runStrip->height(), widgets::RunStrip::kHeight) << "a second line";
    EXPECT_EQ(Ui(*form).runStrip->geometry().bottom(), form->height() - 1);

    Ui(*form).signatureField->setMaskedText("1E9307");
    StandIn tool("echo 'avrdude error: programmer is not responding'; exit 1");
    ClickAndWait(Ui(*form).detectButton);
    EXPECT_EQ(Ui(*form).signatureField->maskedText(), "000000");
    EXPECT_EQ(Ui(*form).signaturePart->text(), "");
}

// Upload Setup puts a core's protocol and speed on the command line only as a programmer id and a
// number, and keeps the rest of the extra options as typed.
TEST(Window, UploadSetupTakesOnlyAProgrammerAndABaudRate)
{
    QTemporaryDir core;
    QFile boards(core.filePath("boards.txt"));
    ASSERT_TRUE(boards.open(QIODevice::WriteOnly));
    boards.write("good.name=Good\ngood.build.mcu=atmega8\ngood.upload.protocol=arduino\ngood.upload.speed=19200\n"
                 "bad.name=Bad\nbad.build.mcu=atmega8\nbad.upload.protocol=arduino\nbad.upload.speed=57600 -U lock:w:0x00:m\n");
    boards.close();
    SettingsFile file(QStringLiteral("[Config]\nCoreFolder=%1\nBoard=bad\n").arg(core.path()).toUtf8().constData());
    MainWindow form;
    Ui(form).extraOptions->setText("-B 4 -b 9600");
    Watch watch;
    QTest::mouseClick(Ui(form).uploadButton, Qt::LeftButton);
    ASSERT_EQ(watch.messages.size(), 1u);
    EXPECT_EQ(Ui(form).extraOptions->text(), "-B 4 -b 9600");
    Ui(form).boardBox->setCurrentIndex(Ui(form).boardBox->findText("Good", Qt::MatchEndsWith));
    QTest::mouseClick(Ui(form).uploadButton, Qt::LeftButton);
    // The board's upload setting is a mode, shown as the board's: the user's options stay as typed.
    EXPECT_EQ(Ui(form).extraOptions->text(), "-B 4 -b 9600");
    EXPECT_EQ(Ui(form).programmerBox->currentText(), "arduino");
    EXPECT_FALSE(Ui(form).disableAutoEraseBox->isChecked());
    EXPECT_TRUE(Ui(form).flashWrite->isChecked());
    EXPECT_TRUE(Ui(form).uploadSetting->isVisibleTo(&form));
    EXPECT_TRUE(Ui(form).uploadSetting->text().startsWith("Upload setting of Good: -c arduino -b 19200 -D"));
    EXPECT_TRUE(Ui(form).commandLine->text().contains("-c arduino -b 19200 -D -U flash:w:")) << Ui(form).commandLine->text().toStdString();
    EXPECT_TRUE(Ui(form).commandLine->text().endsWith("-B 4 -b 9600"));
    // Another programmer ends it: nothing of it stays behind.
    Ui(form).programmerBox->setEditText("usbasp");
    EXPECT_FALSE(Ui(form).uploadSetting->isVisibleTo(&form));
    EXPECT_FALSE(Ui(form).commandLine->text().contains("19200")) << Ui(form).commandLine->text().toStdString();
    EXPECT_FALSE(Ui(form).commandLine->text().contains("-D"));
    EXPECT_EQ(Ui(form).extraOptions->text(), "-B 4 -b 9600");
}

// A board of MiniCore, installed in a home of the test's own: choosing it shows its menus, the first
// option of each chosen; a menu change shows what the burn would write in the editors, and runs
// nothing. Another board brings its own menus.
TEST(Window, ABoardsMenusAreChoicesOfTheirOwn)
{
    QTemporaryDir home;
    InstallCore(home.path(), QStringLiteral(FUSEWERK_CORES "/MiniCore/avr"), "MiniCore");
    // And a core of the user's own, whose board names a bootloader that is not there.
    QDir().mkpath(home.filePath("Arduino/hardware/mine/avr"));
    QFile mine(home.filePath("Arduino/hardware/mine/avr/boards.txt"));
    ASSERT_TRUE(mine.open(QIODevice::WriteOnly));
    mine.write("gone.name=Gone\ngone.build.mcu=atmega8\ngone.bootloader.low_fuses=0xE1\ngone.bootloader.file=none.hex\n");
    mine.close();
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    QFile::remove(OwnDir() + "/runs.log");
    StandIn tool(QStringLiteral(R"(echo "$*" >> "%1/runs.log")").arg(OwnDir()));
    SettingsFile none;
    MainWindow form(RecordedParts(QStringLiteral(FUSEWERK_TRANSCRIPTS)));
    qputenv("HOME", oldHome);
    QComboBox *board = Ui(form).boardBox;
    const auto choose = [](QComboBox *box, int row) {
        ASSERT_GE(row, 0);
        box->setCurrentIndex(row);
        emit box->activated(row);
    };
    choose(board, board->findText("ATmega328", Qt::MatchEndsWith));
    auto *clock = form.findChild<QComboBox *>("BoardMenu_clock");
    ASSERT_NE(clock, nullptr);
    EXPECT_EQ(clock->count(), 19);
    EXPECT_EQ(clock->currentText(), "External 16 MHz");
    EXPECT_EQ(form.findChild<QComboBox *>("BoardMenu_variant")->currentText(), "328P / 328PA");
    EXPECT_EQ(Ui(form).deviceBox->currentText(), "ATmega328P");
    choose(clock, clock->findText("Internal 8 MHz"));
    EXPECT_EQ(Ui(form).byteEditor(Low)->hexText(), "E2");
    EXPECT_EQ(Ui(form).byteEditor(High)->hexText(), "D7");
    EXPECT_EQ(Ui(form).byteEditor(Extended)->hexText(), "FD");
    auto *eeprom = form.findChild<QComboBox *>("BoardMenu_eeprom");
    choose(eeprom, eeprom->findText("EEPROM not retained"));
    EXPECT_EQ(Ui(form).byteEditor(High)->hexText(), "DF");
    EXPECT_FALSE(QFile::exists(OwnDir() + "/runs.log")) << "nothing was run";
    EXPECT_FALSE(Ui(form).boardStatus->isVisible());
    // Another board: its own menus in place of the ATmega328's.
    choose(board, board->findText("ATmega8", Qt::MatchEndsWith));
    EXPECT_EQ(form.findChild<QComboBox *>("BoardMenu_variant"), nullptr);
    ASSERT_NE(form.findChild<QComboBox *>("BoardMenu_clock"), nullptr);
    EXPECT_EQ(Ui(form).deviceBox->currentText(), "ATmega8");
    EXPECT_EQ(Ui(form).byteEditor(High)->hexText(), "C7");
    EXPECT_TRUE(Ui(form).runStrip->text().startsWith("The editors show what Burn Bootloader would write for ATmega8"))
        << "the board's values, not the chip's";
    // One board, one part: the device changed by hand sets the board aside, and says so.
    Ui(form).deviceBox->setEditText("ATtiny85");
    EXPECT_EQ(board->currentIndex(), 0);
    EXPECT_EQ(form.findChild<QComboBox *>("BoardMenu_clock"), nullptr);
    EXPECT_TRUE(Ui(form).runStrip->text().startsWith("The board ATmega8 (External 16 MHz"));
    EXPECT_TRUE(Ui(form).runStrip->text().endsWith("is set aside: it is for the ATmega8, and the device is now ATtiny85."));
    choose(board, board->findText("ATmega8", Qt::MatchEndsWith));
    EXPECT_EQ(Ui(form).byteEditor(Low)->hexText(), "BF") << "External 16 MHz, BOD 2.7 V: 0b10111111";

    // The board that cannot be burnt is marked in the list once the window stands, and says why
    // before anything runs.
    ASSERT_TRUE(QTest::qWaitFor([&] { return board->findText("\u26A0 Gone") > 0; }, 2000));
    EXPECT_EQ(board->findText("\u26A0 ATmega328"), -1);
    const int gone = board->findText("\u26A0 Gone");
    EXPECT_TRUE(board->itemData(gone, Qt::ToolTipRole).toString().contains("none.hex, which is not installed"));
    choose(board, gone);
    EXPECT_TRUE(Ui(form).boardStatus->isVisibleTo(&form));
    EXPECT_TRUE(Ui(form).boardStatus->text().startsWith("Burn Bootloader cannot run: Gone names the bootloader none.hex"));
    Watch watch;
    QTest::mouseClick(Ui(form).burnButton, Qt::LeftButton);
    ASSERT_EQ(watch.messages.size(), 1u);
    EXPECT_TRUE(watch.messages[0].text.startsWith("Nothing was run: Gone names the bootloader none.hex"));
    QTest::mouseClick(Ui(form).boardLinesButton, Qt::LeftButton);
    EXPECT_TRUE(Ui(form).outputPane->outputText().contains("-p m8 -e -U lfuse:w:0xE1:m"))
        << Ui(form).outputPane->outputText().toStdString();
    EXPECT_TRUE(Ui(form).outputPane->outputText().contains("It cannot run: Gone names the bootloader none.hex"));
    EXPECT_FALSE(QFile::exists(OwnDir() + "/runs.log")) << "nothing was run";
}

// Nothing is replaced that the user did not mean: a read into a file that is there asks first,
// naming it, and Cancel leaves it.
TEST(Window, AFileIsReplacedOnlyWhenTheUserSaysSo)
{
    QTemporaryDir dir;
    const QString mine = dir.filePath("mine.hex");
    QFile file(mine);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("mine");
    file.close();
    QFile::remove(OwnDir() + "/runs.log");
    StandIn tool(QStringLiteral(R"(echo "$*" >> "%1/runs.log")").arg(OwnDir()));
    SettingsFile none;
    MainWindow form;
    Ui(form).flashRead->setChecked(true);
    Ui(form).flashFile->setText(mine);
    Watch watch;  // Cancel
    ClickAndWait(Ui(form).executeButton);
    ASSERT_EQ(watch.questions.size(), 1u);
    EXPECT_TRUE(watch.questions[0].startsWith(mine + " is there already (4 bytes, changed ")) << watch.questions[0].toStdString();
    EXPECT_TRUE(watch.questions[0].contains("with the flash it reads from the chip"));
    EXPECT_FALSE(QFile::exists(OwnDir() + "/runs.log")) << "nothing ran";
    watch.answer = true;
    ClickAndWait(Ui(form).executeButton);
    EXPECT_TRUE(QFile::exists(OwnDir() + "/runs.log"));

}

// Program Chip says which programmer and port it uses, has no default button (Return in its file
// field programs nothing), offers the switch to the part a file was built for, and closes with Close
// or Escape.
TEST(Window, ProgramChipRunsNothingUnmeant)
{
    QFile::remove(OwnDir() + "/runs.log");
    StandIn tool(QStringLiteral(R"(echo "$*" >> "%1/runs.log")").arg(OwnDir()));
    SettingsFile none;
    MainWindow form(RecordedParts(QStringLiteral(FUSEWERK_TRANSCRIPTS)));
    Ui(form).deviceBox->setEditText("ATmega8");
    Ui(form).programmerBox->setEditText("usbasp");
    Ui(form).portBox->setEditText("usb");
    form.show();
    QTest::mouseClick(Ui(form).programButton, Qt::LeftButton);
    auto *dialog = form.findChild<QDialog *>("ProgramDialog");
    ASSERT_TRUE(dialog && dialog->isVisible());
    EXPECT_EQ(dialog->findChild<QLabel *>("ProgramTarget")->text(), "With the window's programmer usbasp on port usb, for every board.");
    auto *file = dialog->findChild<QLineEdit *>("ProgramFile");
    file->setFocus();
    file->setText(QStringLiteral(FUSEWERK_ELF_DIR "/whole_m328p.elf"));
    QTest::keyClick(file, Qt::Key_Return);
    EXPECT_FALSE(QFile::exists(OwnDir() + "/runs.log")) << "Return in the file field programs nothing";
    EXPECT_TRUE(dialog->findChild<QLabel *>("ProgramValues")->text().contains("was built for the ATmega328P, not the ATmega8"));
    auto *other = dialog->findChild<QPushButton *>("ProgramSwitch");
    ASSERT_TRUE(other->isVisibleTo(dialog));
    EXPECT_EQ(other->text(), "Switch to ATmega328P");
    QTest::mouseClick(other, Qt::LeftButton);
    EXPECT_EQ(Ui(form).deviceBox->currentText(), "ATmega328P");
    EXPECT_TRUE(dialog->findChild<QLabel *>("ProgramValues")->text().startsWith("For the ATmega328P"))
        << dialog->findChild<QLabel *>("ProgramValues")->text().toStdString();
    EXPECT_FALSE(other->isVisibleTo(dialog));
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog->isVisible());
    QTest::mouseClick(Ui(form).programButton, Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QPushButton *>("ProgramClose"), Qt::LeftButton);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(QFile::exists(OwnDir() + "/runs.log"));
}

// What is plugged in, offered: the USBasp first in the programmer list (the field takes its id
// alone) and chosen where none was; each port with what is on it; the Uno one click away (its
// board, upload setting and port); a device the user may not open said in the output with its fix.
// Unplugging takes it all back; the design's entries keep their indexes throughout.
TEST(Window, WhatIsPluggedInIsOfferedAndFollowed)
{
    QTemporaryDir home;
    QDir().mkpath(home.filePath("Arduino/hardware/fixture/avr"));
    QFile boards(home.filePath("Arduino/hardware/fixture/avr/boards.txt"));
    ASSERT_TRUE(boards.open(QIODevice::WriteOnly));
    boards.write("uno.name=Arduino UNO\nuno.vid.0=0x2341\nuno.pid.0=0x0043\nuno.upload.protocol=arduino\n"
                 "uno.upload.speed=115200\nuno.build.mcu=atmega328p\n");
    boards.close();
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(home.path()));
    WindowDeps deps = RecordedParts(QStringLiteral(FUSEWERK_TRANSCRIPTS));
    QFile programmers(QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/programmers.txt")),
        described(QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/programmers_St.txt"));
    ASSERT_TRUE(programmers.open(QIODevice::ReadOnly) && described.open(QIODevice::ReadOnly));
    deps.vocabulary.programmers = compose::ParseProgrammers(programmers.readAll());
    compose::ReadProgrammerModes(described.readAll(), deps.vocabulary.programmers);
    QTemporaryDir dev;  // the nodes: the USBasp's the user may open, the Uno's port not
    QFile(dev.filePath("usbasp")).open(QIODevice::WriteOnly);
    const auto usbasp = attached::UsbDevice{"/sys/devices/usb1/1-1", 1, 2, 0x16c0, 0x05dc, "www.fischl.de", "USBasp", {},
                                            dev.filePath("usbasp"), {}, {}};
    const auto uno = attached::UsbDevice{"/sys/devices/usb1/1-2", 1, 3, 0x2341, 0x0043, "Arduino (www.arduino.cc)", "Arduino Uno",
                                         {}, dev.filePath("uno"), {dev.filePath("ttyACM0")}, "cdc_acm"};
    std::vector<attached::UsbDevice> plugged{usbasp, uno};
    deps.listUsb = [&plugged] { return plugged; };
    deps.listPorts = [] { return QStringList{}; };
    SettingsFile none;
    MainWindow form(std::move(deps));
    qputenv("HOME", oldHome);
    widgets::ComboBox *programmer = Ui(form).programmerBox, *port = Ui(form).portBox;

    EXPECT_EQ(programmer->currentText(), "usbasp") << "chosen: nothing was, and one programmer is plugged in";
    EXPECT_EQ(programmer->itemText(0), "usbasp");
    EXPECT_EQ(programmer->itemData(0, widgets::ComboBox::kNoteRole).toString(), "USBasp (www.fischl.de), attached");
    EXPECT_EQ(programmer->itemIndex(), programmer->findText("usbasp")) << "the list's own index, as the settings keep it";
    EXPECT_TRUE(Ui(form).commandLine->text().contains(" -c usbasp ")) << Ui(form).commandLine->text().toStdString();
    const int acm = port->findText(dev.filePath("ttyACM0"));
    ASSERT_GE(acm, 0) << "the Uno's port in the list";
    EXPECT_EQ(port->itemData(acm + port->leadingCount(), widgets::ComboBox::kNoteRole).toString(),
              "Arduino UNO, which you may not open (see its tooltip)");
    EXPECT_TRUE(port->itemData(acm + port->leadingCount(), Qt::ToolTipRole).toString().contains("cannot be opened by you"));
    EXPECT_TRUE(Ui(form).outputPane->outputText().contains("Arduino Uno (Arduino (www.arduino.cc)) is plugged in at " + dev.filePath("ttyACM0")));
    EXPECT_EQ(port->items().mid(0, 13), compose::PortItems({}).mid(0, 13)) << "the design's entries keep their places";

    // One click: the board, its upload setting and its port.
    ASSERT_TRUE(Ui(form).attachedBoardButton->isVisibleTo(&form));
    EXPECT_EQ(Ui(form).attachedBoardButton->text(), "Use the Arduino UNO on " + dev.filePath("ttyACM0"));
    QTest::mouseClick(Ui(form).attachedBoardButton, Qt::LeftButton);
    EXPECT_TRUE(Ui(form).boardBox->currentData().toString().endsWith(":avr:uno")) << "Debian's Uno where its core is installed, else the fixture's";
    EXPECT_EQ(programmer->currentText(), "arduino");
    EXPECT_EQ(port->currentText(), dev.filePath("ttyACM0"));
    EXPECT_TRUE(Ui(form).commandLine->text().contains(" -b 115200")) << Ui(form).commandLine->text().toStdString();

    // Unplugged: the lists and the button follow within the poll's two seconds; what was chosen stays.
    plugged.clear();
    EXPECT_TRUE(QTest::qWaitFor([&] { return programmer->leadingCount() == 0; }, 5000));
    EXPECT_FALSE(Ui(form).attachedBoardButton->isVisibleTo(&form));
    EXPECT_EQ(port->findText(dev.filePath("ttyACM0")), -1);
    EXPECT_EQ(port->currentText(), dev.filePath("ttyACM0")) << "the text stays as typed";
    EXPECT_EQ(programmer->currentText(), "arduino");
    // Plugged in again.
    plugged = {usbasp};
    EXPECT_TRUE(QTest::qWaitFor([&] { return programmer->leadingCount() == 1; }, 5000));
    EXPECT_EQ(programmer->currentText(), "arduino") << "a choice made is not taken over";
}
