// The desktop details: ports re-read when the list opens, readable Read and Write captions on light
// and dark palettes, Enter and Ctrl+A, saving the output, and the hint for permission trouble.
#include "tests/printing.h"
#include "window/desktop.h"
#include "window/main_window.h"
#include "runner/permission_watch.h"
#include "tests/helpers.h"

#include <QApplication>
#include <QFile>
#include <QStyleFactory>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString Recorded(const char *name)
{
    QFile file(QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/%1").arg(QLatin1String(name)));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return QString::fromUtf8(file.readAll());
}

double CaptionContrast(const widgets::SpeedButton *button)
{
    return widgets::ContrastRatio(button->palette().color(QPalette::ButtonText),
                                  button->palette().color(QPalette::Window));
}

}  // namespace

TEST(LinuxDesktop, OpeningThePortListReReadsThePortsAndKeepsTheText)
{
    QStringList present{"/dev/ttyACM0"};
    WindowDeps deps;
    deps.listPorts = [&] { return present; };
    auto form = MakeForm("ATmega8", "usbasp", deps);
    Ui(*form).portBox->setCurrentIndex(13);
    ASSERT_EQ(Ui(*form).portBox->currentText(), "/dev/ttyACM0");
    present = {"/dev/ttyACM0", "/dev/ttyUSB0"};  // a board plugged in
    form->show();
    Ui(*form).portBox->showPopup();
    Ui(*form).portBox->hidePopup();
    EXPECT_EQ(Ui(*form).portBox->count(), 16);
    EXPECT_EQ(Ui(*form).portBox->itemText(14), "/dev/ttyUSB0");
    EXPECT_EQ(Ui(*form).portBox->itemText(4), "com1") << "the fixed entries stay first";
    EXPECT_EQ(Ui(*form).portBox->currentText(), "/dev/ttyACM0");
    EXPECT_EQ(Ui(*form).portBox->itemIndex(), 13);
    Ui(*form).portBox->setEditText("/dev/ttyS7");  // typed: kept as typed
    present = {};
    Ui(*form).portBox->showPopup();
    Ui(*form).portBox->hidePopup();
    EXPECT_EQ(Ui(*form).portBox->count(), 14);
    EXPECT_EQ(Ui(*form).portBox->currentText(), "/dev/ttyS7");
    EXPECT_TRUE(Ui(*form).commandLine->text().contains("-P /dev/ttyS7 "));
}

TEST(LinuxDesktop, ReadAndWriteCaptionsAreReadableOnLightAndDarkPalettes)
{
    const QPalette original = QApplication::palette();
    // Whatever fails below, later tests meet the palette they always had.
    const std::unique_ptr<const QPalette, void (*)(const QPalette *)> restore(
        &original, [](const QPalette *p) { QApplication::setPalette(*p); });
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    for (const QPalette &palette : {QApplication::style()->standardPalette(), original, dark}) {
        QApplication::setPalette(palette);
        auto form = MakeForm();
        for (const widgets::SpeedButton *button : {Ui(*form).byteEditor(Low)->readButton(), Ui(*form).byteEditor(Low)->writeButton()}) {
            EXPECT_GE(CaptionContrast(button), 4.5) << palette.color(QPalette::Window).name().toStdString();
            const QColor caption = button->palette().color(QPalette::ButtonText);
            EXPECT_NEAR(caption.hslHue(), button == Ui(*form).byteEditor(Low)->readButton() ? 120 : 0, 2) << "the hue stays";
        }
    }
    // A palette changed while the window is open is followed too.
    QApplication::setPalette(original);
    auto form = MakeForm();
    QApplication::setPalette(dark);
    EXPECT_GE(CaptionContrast(Ui(*form).byteEditor(Low)->writeButton()), 4.5);
}

TEST(LinuxDesktop, EnterOnExecuteRunsAndCtrlASelectsTheSignature)
{
    StandIn tool("echo ran");
    auto form = MakeForm();
    form->show();
    form->activateWindow();
    Ui(*form).executeButton->setFocus();
    QTest::keyClick(Ui(*form).executeButton, Qt::Key_Return);
    WaitForRun(*form);
    EXPECT_EQ(Ui(*form).outputPane->outputText(), "ran\n");
    Ui(*form).signatureField->setMaskedText("1E9307");
    Ui(*form).signatureField->setFocus();
    QTest::keyClick(Ui(*form).signatureField, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Ui(*form).signatureField->selectedText(), "1E9307");
    Ui(*form).byteEditor(Low)->binaryField()->setFocus();
    QTest::keyClick(Ui(*form).byteEditor(Low)->binaryField(), Qt::Key_Home);
    QTest::keyClick(Ui(*form).byteEditor(Low)->binaryField(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(Ui(*form).byteEditor(Low)->binaryField()->maskedText(), "00000000") << "Ctrl+A types a 0 in a binary field, as every key but 1";
    EXPECT_TRUE(Ui(*form).byteEditor(Low)->binaryField()->selectedText().isEmpty());
}

TEST(LinuxDesktop, SaveOutputAsWritesThePanesExactText)
{
    QTemporaryDir dir;
    StandIn tool("printf 'a\\r\\nb\\n'; head -c 9000 /dev/zero | tr '\\0' x; echo; printf 'end'");
    auto form = MakeForm();
    form->session().execute("avrdude.exe");
    WaitForRun(*form);
    const QString path = dir.filePath("out.txt");
    Ui(*form).outputPane->saveDialog = [&] { return path; };
    form->show();
    // The pane's context menu, as the user opens it, and its "Save Output As..." entry.
    QTimer::singleShot(0, [] {
        QMenu *open = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(open, nullptr);
        for (QAction *action : open->actions())
            if (action->text() == "Save Output As...")
                action->trigger();
        open->close();
    });
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(5, 5), Ui(*form).outputPane->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(Ui(*form).outputPane, &menu);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "a\nb\n" + QByteArray(9000, 'x') + "\nend");
    saved.close();

    // A file that is there is replaced only when the user says so, told its size and date.
    ASSERT_TRUE(saved.open(QIODevice::WriteOnly | QIODevice::Truncate));
    saved.write("mine");
    saved.close();
    QStringList asked;
    bool replace = false;
    Ui(*form).outputPane->confirmReplace = [&](const QString &question) {
        asked << question;
        return replace;
    };
    Ui(*form).outputPane->saveOutput();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].startsWith(path + " is there already (4 bytes, changed ")) << asked[0].toStdString();
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "mine") << "Cancel leaves it";
    saved.close();
    replace = true;
    Ui(*form).outputPane->saveOutput();
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_TRUE(saved.readAll().startsWith("a\nb\n"));
}

TEST(LinuxDesktop, PermissionTroubleNamesItsFix)
{
    const auto hint = [](const char *transcript) {
        runner::PermissionWatch watch;
        runner::LineSplitter lines;
        const QString text = Recorded(transcript);
        for (qsizetype at = 0; at < text.size(); at += 7)
            lines.see(QStringView(text).mid(at, 7), watch);
        lines.finish(watch);
        return watch.hint();
    };
    EXPECT_TRUE(hint("serial_permission.txt").startsWith("No permission to open /dev/ttyUSB0: add yourself"));
    EXPECT_TRUE(hint("serial_permission.txt").contains("sudo usermod -aG dialout $USER"));
    EXPECT_TRUE(hint("usb_permission.txt").startsWith("No permission to open the USB programmer: add a udev rule"));
    EXPECT_EQ(hint("no_programmer.txt"), "");
    EXPECT_EQ(hint("failed_verify.txt"), "");

    // In the window: the failed run's outcome carries the hint.
    QFile::copy(QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/serial_permission.txt"), OwnDir() + "/out.txt");
    StandIn tool(QStringLiteral("cat \"%1/out.txt\"; exit 1").arg(OwnDir()));
    auto form = MakeForm();
    form->session().execute("avrdude.exe");
    WaitForRun(*form);
    EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("avrdude failed (exit code 1)"));
    EXPECT_TRUE(Ui(*form).runStrip->text().contains("dialout")) << Ui(*form).runStrip->text().toStdString();
    QFile::remove(OwnDir() + "/out.txt");
}
