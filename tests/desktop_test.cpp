// Ports of the machine, tooltips, and files dropped on the rows.
#include "tests/printing.h"
#include "window/desktop.h"
#include "window/main_window.h"
#include "compose/vocabulary.h"
#include "tests/helpers.h"

#include <QCompleter>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFontInfo>
#include <QHelpEvent>
#include <QToolTip>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

TEST(Ports, TheSerialPortsFollowTheDesignedEntriesThenUsb)
{
    EXPECT_EQ(compose::PortItems({}), compose::PortList() + QStringList{"usb"});
    {
        SettingsFile file("[Config]\nPort=14\n");
        WindowDeps deps;
        deps.listPorts = [] { return QStringList{"/dev/ttyACM0", "/dev/ttyUSB0"}; };
        MainWindow form(deps);
        ASSERT_EQ(Ui(form).portBox->count(), 16);
        EXPECT_EQ(Ui(form).portBox->itemText(4), "com1");
        EXPECT_EQ(Ui(form).portBox->itemText(13), "/dev/ttyACM0");
        EXPECT_EQ(Ui(form).portBox->itemText(15), "usb");
        EXPECT_EQ(Ui(form).portBox->currentText(), "/dev/ttyUSB0") << "a port is kept by its place in the list";
        EXPECT_TRUE(Ui(form).commandLine->text().contains("-P /dev/ttyUSB0 "));
    }
}

// The first entry after the list's own (here the first serial port) is kept by its text too: after a
// restart without that board, its place holds another entry.
TEST(Ports, TheFirstAppendedEntryComesBackByItsText)
{
    SettingsFile none;
    {
        WindowDeps deps;
        deps.listPorts = [] { return QStringList{"/dev/ttyACM0"}; };
        MainWindow form(deps);
        Ui(form).portBox->setCurrentIndex(13);
        ASSERT_EQ(Ui(form).portBox->currentText(), "/dev/ttyACM0");
        form.show();
        ASSERT_TRUE(form.close());
    }
    WindowDeps unplugged;
    unplugged.listPorts = [] { return QStringList{}; };
    MainWindow form(unplugged);
    EXPECT_EQ(Ui(form).portBox->currentText(), "/dev/ttyACM0") << SettingsFile::Read().toStdString();
}

TEST(ToolTips, OptionsSayWhatTheFlagDoes)
{
    auto form = MakeForm();
    const QString f = Ui(*form).overrideSignatureBox->toolTip();
    EXPECT_TRUE(f.contains("override")) << f.toStdString();
    EXPECT_TRUE(f.contains("does not verify")) << f.toStdString();
    EXPECT_EQ(Ui(*form).overrideSignatureBox->text(), "-F Override the device signature check") << "it says what -F does";
    // A long tooltip is wrapped at a readable width, not one line across the screen.
    form->show();
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), Ui(*form).overrideSignatureBox->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(Ui(*form).overrideSignatureBox, &help);
    EXPECT_TRUE(QToolTip::text().startsWith("<p style='white-space:pre-wrap'>-F: override")) << QToolTip::text().toStdString();
    // avrdude's columns line up in the output.
    EXPECT_TRUE(QFontInfo(Ui(*form).outputPane->font()).fixedPitch());
    for (QCheckBox *box : {Ui(*form).disableAutoEraseBox, Ui(*form).chipEraseBox, Ui(*form).noWriteBox, Ui(*form).quietBox, Ui(*form).terminalBox,
                           Ui(*form).noVerifyBox, Ui(*form).verboseBox, Ui(*form).resetBox, Ui(*form).noResetBox, Ui(*form).vccBox,
                           Ui(*form).noVccBox})
        EXPECT_TRUE(box->toolTip().startsWith(box->text().startsWith('-') ? box->text().left(2) : "-E "))
            << box->text().toStdString();
    EXPECT_TRUE(Ui(*form).byteEditor(Low)->readButton()->toolTip().contains("low fuse"));
    EXPECT_TRUE(Ui(*form).byteEditor(Extended)->writeButton()->toolTip().contains("extended fuse"));
    EXPECT_TRUE(Ui(*form).calibrationWrite->toolTip().contains("calibration"));
    EXPECT_TRUE(Ui(*form).signatureRead->toolTip().contains("signature"));
}

namespace {
bool Drop(QWidget *target, const QList<QUrl> &urls)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}
}  // namespace

TEST(DragAndDrop, AFileDroppedOnARowSetsItsFileName)
{
    auto form = MakeForm();
    Ui(*form).flashRead->setChecked(true);  // a file dropped is one to write: Read would replace it
    EXPECT_TRUE(Drop(Ui(*form).flashRow, {QUrl::fromLocalFile("/tmp/my blink.hex")}));
    EXPECT_EQ(Ui(*form).flashFile->text(), "/tmp/my blink.hex");
    EXPECT_TRUE(Ui(*form).flashWrite->isChecked());
    EXPECT_FALSE(Ui(*form).flashRead->isChecked());
    EXPECT_TRUE(Ui(*form).commandLine->text().contains(R"(-U flash:w:"/tmp/my blink.hex":i)"));
    EXPECT_TRUE(Drop(Ui(*form).eepromRow, {QUrl::fromLocalFile("/tmp/data.eep")}));
    EXPECT_EQ(Ui(*form).eepromFile->text(), "/tmp/data.eep");
    EXPECT_FALSE(Drop(Ui(*form).flashRow, {QUrl("https://example.org/x.hex")}));
    EXPECT_FALSE(Drop(Ui(*form).flashRow, {QUrl::fromLocalFile("/a.hex"), QUrl::fromLocalFile("/b.hex")}));
    EXPECT_EQ(Ui(*form).flashFile->text(), "/tmp/my blink.hex");
}

// A port typed into the box comes back by its text; the long lists filter by any part of a name;
// the window has a floor for its size.
TEST(Ports, ATypedPortIsKeptAndLongListsFilter)
{
    SettingsFile none;
    {
        MainWindow form;
        Ui(form).portBox->setEditText("/dev/pts/7");
        form.show();
        ASSERT_TRUE(form.close());
    }
    MainWindow form;
    EXPECT_EQ(Ui(form).portBox->currentText(), "/dev/pts/7") << SettingsFile::Read().toStdString();
    QCompleter *completer = Ui(form).deviceBox->completer();
    ASSERT_NE(completer, nullptr);
    completer->setCompletionPrefix("mega8");
    QStringList found;
    for (int row = 0; completer->setCurrentRow(row); ++row)
        found << completer->currentCompletion();
    EXPECT_TRUE(found.contains("ATmega8") && found.contains("ATmega8515") && found.contains("ATmega88"))
        << found.join(',').toStdString();
    EXPECT_FALSE(found.contains("ATmega16"));
    EXPECT_EQ(Ui(form).deviceBox->currentText(), "") << "the typed text is not changed by the filter";
}
