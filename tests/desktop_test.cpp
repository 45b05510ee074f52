// Ports of the machine, tooltips, and files dropped on the rows.
#include "tests/printing.h"
#include "app/desktop.h"
#include "app/form1.h"
#include "compose/vocabulary.h"
#include "tests/helpers.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

TEST(Ports, TheSerialPortsFollowTheDesignedEntriesThenUsb)
{
    EXPECT_EQ(compose::PortItems({}), compose::PortList() + QStringList{"usb"});
    const auto saved = ListSerialPorts;
    ListSerialPorts = [] { return QStringList{"/dev/ttyACM0", "/dev/ttyUSB0"}; };
    {
        SettingsFile file("[Config]\nPort=14\n");
        TForm1 form;
        ASSERT_EQ(form.PortComboBox->count(), 16);
        EXPECT_EQ(form.PortComboBox->itemText(4), "com1");
        EXPECT_EQ(form.PortComboBox->itemText(13), "/dev/ttyACM0");
        EXPECT_EQ(form.PortComboBox->itemText(15), "usb");
        EXPECT_EQ(form.PortComboBox->Text(), "/dev/ttyUSB0") << "a port is kept by its place in the list";
        EXPECT_TRUE(form.Edit3->text().contains("-P /dev/ttyUSB0 "));
    }
    ListSerialPorts = saved;
}

TEST(ToolTips, OptionsSayWhatTheFlagDoes)
{
    auto form = MakeForm();
    const QString f = form->CheckBox7->toolTip();
    EXPECT_TRUE(f.contains("override")) << f.toStdString();
    EXPECT_TRUE(f.contains("does not verify")) << f.toStdString();
    EXPECT_EQ(form->CheckBox7->text(), "-F Verify the device signature") << "the caption stays";
    for (QCheckBox *box : {form->CheckBox1, form->CheckBox2, form->CheckBox8, form->CheckBox9, form->CheckBox10,
                           form->CheckBox11, form->CheckBox12, form->CheckBox13, form->CheckBox14, form->CheckBox15,
                           form->CheckBox16})
        EXPECT_TRUE(box->toolTip().startsWith(box->text().startsWith('-') ? box->text().left(2) : "-E "))
            << box->text().toStdString();
    EXPECT_TRUE(form->SpeedButton1->toolTip().contains("low fuse"));
    EXPECT_TRUE(form->SpeedButton10->toolTip().contains("extended fuse"));
    EXPECT_TRUE(form->SpeedButton11->toolTip().contains("calibration"));
    EXPECT_TRUE(form->SpeedButton6->toolTip().contains("signature"));
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
    form->FlashWrite->setChecked(true);
    EXPECT_TRUE(Drop(form->GroupBox1, {QUrl::fromLocalFile("/tmp/my blink.hex")}));
    EXPECT_EQ(form->Edit1->text(), "/tmp/my blink.hex");
    EXPECT_TRUE(form->Edit3->text().contains(R"(-U flash:w:"/tmp/my blink.hex":i)"));
    EXPECT_TRUE(Drop(form->GroupBox2, {QUrl::fromLocalFile("/tmp/data.eep")}));
    EXPECT_EQ(form->Edit2->text(), "/tmp/data.eep");
    EXPECT_FALSE(Drop(form->GroupBox1, {QUrl("https://example.org/x.hex")}));
    EXPECT_FALSE(Drop(form->GroupBox1, {QUrl::fromLocalFile("/a.hex"), QUrl::fromLocalFile("/b.hex")}));
    EXPECT_EQ(form->Edit1->text(), "/tmp/my blink.hex");
}
