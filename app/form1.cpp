#include "app/form1.h"

#include "app/desktop.h"
#include "app/messages.h"
#include "compose/command_line.h"
#include "compose/vocabulary.h"
#include "fuses/fuse_layout.h"
#include "runner/tool_run.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFileDialog>
#include <QGuiApplication>

namespace {

// The open dialog's filter: names ending in .hex, .rom or .bin, or every name.
const QString kFileFilter = QStringLiteral("*.hex ; *.rom ; *.bin (*.hex *.rom *.bin);;*.* (*)");

template <typename T>
T *Place(T *widget, int left, int top, int width, int height)
{
    widget->setGeometry(left, top, width, height);
    // Captions get the room they need with the desktop's fonts.
    if (widget->sizeHint().width() > width && qobject_cast<QAbstractButton *>(widget) &&
        !qobject_cast<QPushButton *>(widget))
        widget->resize(widget->sizeHint().width(), height);
    return widget;
}

QLabel *MakeLabel(const QString &caption, QWidget *parent, int left, int top)
{
    auto *label = new QLabel(caption, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QCheckBox *MakeCheckBox(const QString &name, const QString &caption, QWidget *parent, int left, int top, int width,
                        int height = 17)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return Place(box, left, top, width, height);
}

// The directory part of a file name with its trailing separator; empty when it has none.
QString DirectoryPart(const QString &fileName)
{
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : fileName.left(slash + 1);
}

}  // namespace

TForm1::TForm1(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Fusewerk"));
    CreateControls();
    SetToolTips(*this);
    for (QGroupBox *row : {GroupBox1, GroupBox2}) {
        row->setAcceptDrops(true);
        row->installEventFilter(this);
    }
    for (QLineEdit *file : {Edit1, Edit2})
        file->setAcceptDrops(false);  // a dropped file goes to its row, not into the text
    OpenDialog1 = [this](const QString &dir, const QString &filter) {
        return QFileDialog::getOpenFileName(this, QString(), dir, filter);
    };
    WireEvents();
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::CreateControls()
{
    resize(626, 683);
    move(10, 10);
    // The layout was drawn for an 11-pixel font; the desktop's default face at that size fits it.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    // Group titles sit in the frame's top line, so the rows inside keep the room they were given.
    setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
                                 "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0px 2px; }"
                                 "QLineEdit { padding: 0px 1px; }"));

    MakeLabel(QStringLiteral("-p Device:"), this, 7, 8);
    DeviceComboBox = Place(new ComboBox(compose::DeviceList(), QStringLiteral("ATmega8"), this), 7, 24, 99, 21);
    MakeLabel(QStringLiteral("-c Programmer:"), this, 111, 8);
    ProgComboBox = Place(new ComboBox(compose::ProgrammerList(), QStringLiteral("usbasp"), this), 111, 24, 109, 21);
    MakeLabel(QStringLiteral("-P Port:"), this, 226, 8);
    PortComboBox = Place(new ComboBox(compose::PortItems(ListSerialPorts()), QString(), this), 226, 24, 81, 21);
    MakeLabel(QStringLiteral("Extra Command Line Options "), this, 315, 9);
    Edit4 = Place(new QLineEdit(this), 313, 24, 309, 21);

    // Flash and EEPROM rows share one layout; the EEPROM row sits one pixel higher in its box.
    struct Row {
        QGroupBox *&box;
        QCheckBox *&write, *&read, *&verify;
        QLineEdit *&file;
        QPushButton *&browse;
        ComboBox *&format;
        const char *caption;
        const char *prefix;  // of the operation boxes' names
        int number;          // of the group box, the file field and the browse button
        int top, height, dy;
    };
    Row rows[] = {
        {GroupBox1, FlashWrite, FlashRead, FlashVerify, Edit1, Button1, ComboBox4, "Flash:", "Flash", 1, 48, 59, 0},
        {GroupBox2, EEPROMWrite, EEPROMRead, EEPROMVerify, Edit2, Button2, ComboBox5, "EEPROM:", "EEPROM", 2, 107, 58,
         -1},
    };
    for (Row &r : rows) {
        r.box = new QGroupBox(QString::fromLatin1(r.caption), this);
        r.box->setObjectName(QStringLiteral("GroupBox%1").arg(r.number));
        r.box->setGeometry(3, r.top, 620, r.height);
        const QString prefix = QString::fromLatin1(r.prefix);
        r.write = MakeCheckBox(prefix + QStringLiteral("Write"), QStringLiteral("Write"), r.box, 8, 14 + r.dy, 65);
        r.read = MakeCheckBox(prefix + QStringLiteral("Read"), QStringLiteral("Read"), r.box, 128, 14 + r.dy, 97);
        r.verify = MakeCheckBox(prefix + QStringLiteral("Verify"), QStringLiteral("Verify"), r.box, 256, 14 + r.dy, 97);
        r.file = Place(new QLineEdit(r.box), 8, 32 + r.dy, 473, 21);
        r.file->setObjectName(QStringLiteral("Edit%1").arg(r.number));
        r.browse = Place(new QPushButton(QStringLiteral("..."), r.box), 483, 32 + r.dy, 22, 21);
        r.browse->setStyleSheet(QStringLiteral("padding: 0px"));
        r.browse->setObjectName(QStringLiteral("Button%1").arg(r.number));
        r.format = Place(new ComboBox(compose::FormatList(), QString(), r.box), 512, 32 + r.dy, 103, 21);
        r.format->setObjectName(QStringLiteral("ComboBox%1").arg(r.number + 3));
        MakeLabel(QStringLiteral("Format:"), r.box, 528, 16 + r.dy);
    }

    const char *groupCaptions[] = {"Low Fuse Byte", "High Fuse Byte", "Lock Fuse Byte", "Ext Fuse Byte"};
    for (int g = 0; g < 4; ++g)
        groups[g] = fuses::FuseGroup::Create(this, g + 3, 3 + 104 * g, QString::fromLatin1(groupCaptions[g]));
    MaskEdit30 = groups[0].hex, MaskEdit31 = groups[0].bin, MaskEdit40 = groups[1].hex, MaskEdit41 = groups[1].bin;
    MaskEdit50 = groups[2].hex, MaskEdit51 = groups[2].bin, MaskEdit60 = groups[3].hex, MaskEdit61 = groups[3].bin;
    SpeedButton1 = groups[0].read, SpeedButton2 = groups[1].read, SpeedButton3 = groups[2].read;
    SpeedButton4 = groups[3].read, SpeedButton7 = groups[0].write, SpeedButton8 = groups[1].write;
    SpeedButton9 = groups[2].write, SpeedButton10 = groups[3].write;

    GroupBox7 = new QGroupBox(QStringLiteral("Calibration"), this);
    GroupBox7->setObjectName(QStringLiteral("GroupBox7"));
    GroupBox7->setGeometry(419, 165, 100, 235);
    SpeedButton5 = new SpeedButton(QStringLiteral("Read"), QColor(0, 128, 0), GroupBox7);
    SpeedButton5->setGeometry(13, 20, 36, 17);
    SpeedButton11 = new SpeedButton(QStringLiteral("Write"), QColor(255, 0, 0), GroupBox7);
    SpeedButton11->setGeometry(55, 20, 38, 17);
    MakeLabel(QStringLiteral("Hex:"), GroupBox7, 6, 52);
    MaskEdit70 = new fuses::MaskEdit({8, true, false, true}, QStringLiteral("00000000"), GroupBox7);
    MaskEdit70->setObjectName(QStringLiteral("MaskEdit70"));
    MaskEdit70->setGeometry(6, 67, 80, 21);

    GroupBox8 = new QGroupBox(QStringLiteral("Signature"), this);
    GroupBox8->setObjectName(QStringLiteral("GroupBox8"));
    GroupBox8->setGeometry(523, 165, 100, 235);
    SpeedButton6 = new SpeedButton(QStringLiteral("Read"), QColor(0, 128, 0), GroupBox8);
    SpeedButton6->setGeometry(26, 19, 38, 17);
    MakeLabel(QStringLiteral("Hex:"), GroupBox8, 8, 51);
    MaskEdit80 = new fuses::MaskEdit({6, true, false, true}, QStringLiteral("000000"), GroupBox8);
    MaskEdit80->setObjectName(QStringLiteral("MaskEdit80"));
    MaskEdit80->setGeometry(8, 67, 64, 21);

    Options = new QGroupBox(QStringLiteral("Options"), this);
    Options->setObjectName(QStringLiteral("Options"));
    Options->setGeometry(3, 400, 412, 84);
    CheckBox1 = MakeCheckBox(QStringLiteral("CheckBox1"), QStringLiteral("-D Disable auto erase for flash"), Options, 8, 16, 179);
    CheckBox2 = MakeCheckBox(QStringLiteral("CheckBox2"), QStringLiteral("-e Perform a chip erase"), Options, 8, 32, 176);
    CheckBox7 = MakeCheckBox(QStringLiteral("CheckBox7"), QStringLiteral("-F Verify the device signature"), Options, 8, 48, 176);
    CheckBox8 = MakeCheckBox(QStringLiteral("CheckBox8"), QStringLiteral("-n Don't write to the device"), Options, 8, 64, 176);
    CheckBox9 = MakeCheckBox(QStringLiteral("CheckBox9"), QStringLiteral("-q Disable process bar output"), Options, 216, 16, 167);
    CheckBox10 = MakeCheckBox(QStringLiteral("CheckBox10"), QStringLiteral("-t Terminal mode"), Options, 216, 32, 167);
    CheckBox12 = MakeCheckBox(QStringLiteral("CheckBox12"), QStringLiteral("-v Enable verbose output"), Options, 216, 48, 167);
    CheckBox11 = MakeCheckBox(QStringLiteral("CheckBox11"), QStringLiteral("-V Disable verify check"), Options, 216, 64, 167);

    GroupBox9 = new QGroupBox(QStringLiteral("-E Exitmode"), this);
    GroupBox9->setObjectName(QStringLiteral("GroupBox9"));
    GroupBox9->setGeometry(419, 400, 204, 84);
    CheckBox13 = MakeCheckBox(QStringLiteral("CheckBox13"), QStringLiteral("Reset"), GroupBox9, 8, 16, 73);
    CheckBox14 = MakeCheckBox(QStringLiteral("CheckBox14"), QStringLiteral("No Reset"), GroupBox9, 8, 32, 73);
    CheckBox15 = MakeCheckBox(QStringLiteral("CheckBox15"), QStringLiteral("Vcc"), GroupBox9, 104, 16, 58);
    CheckBox16 = MakeCheckBox(QStringLiteral("CheckBox16"), QStringLiteral("No Vcc"), GroupBox9, 104, 32, 73);

    MakeLabel(QStringLiteral("Command line:"), this, 4, 484);
    Edit3 = Place(new QLineEdit(this), 3, 499, 485, 21);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    BitBtn1 = Place(new QPushButton(QStringLiteral("Execute"), this), 495, 497, 127, 25);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    Edit5 = Place(new QLineEdit(this), 11, 651, 485, 21);
    Edit5->setObjectName(QStringLiteral("Edit5"));
    Edit5->setVisible(false);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setUndoRedoEnabled(false);  // output is only ever appended: no undo history to keep
    Memo1->setTabChangesFocus(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // The window is disabled while a tool runs; its output stays as readable as ever.
    QPalette pane = Memo1->palette();
    for (const auto role : {QPalette::Text, QPalette::Base, QPalette::WindowText})
        pane.setColor(QPalette::Disabled, role, pane.color(QPalette::Active, role));
    Memo1->setPalette(pane);
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    SetMemoBounds(525, 155);
    DeviceComboBox->setObjectName(QStringLiteral("DeviceComboBox"));
    ProgComboBox->setObjectName(QStringLiteral("ProgComboBox"));
    PortComboBox->setObjectName(QStringLiteral("PortComboBox"));
    Edit4->setObjectName(QStringLiteral("Edit4"));

    // Tab order as the window was designed: top row, rows, byte groups, options, command line.
    QList<QWidget *> chain{DeviceComboBox, ProgComboBox, PortComboBox};
    for (QWidget *w : {static_cast<QWidget *>(FlashWrite), static_cast<QWidget *>(FlashRead),
                       static_cast<QWidget *>(FlashVerify), static_cast<QWidget *>(Edit1),
                       static_cast<QWidget *>(Button1), static_cast<QWidget *>(ComboBox4),
                       static_cast<QWidget *>(EEPROMWrite), static_cast<QWidget *>(EEPROMRead),
                       static_cast<QWidget *>(EEPROMVerify), static_cast<QWidget *>(Edit2),
                       static_cast<QWidget *>(Button2), static_cast<QWidget *>(ComboBox5)})
        chain << w;
    for (const auto &g : groups) {
        for (int k = 1; k < 8; ++k)
            chain << g.bits[k];
        chain << g.hex << g.bin << g.bits[0];
    }
    chain << MaskEdit70 << MaskEdit80 << CheckBox1 << CheckBox2 << CheckBox7 << CheckBox8 << CheckBox9
          << CheckBox10 << CheckBox11 << CheckBox12 << CheckBox13 << CheckBox14 << CheckBox15 << CheckBox16
          << Edit3 << BitBtn1 << Memo1 << Edit4;
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void TForm1::WireEvents()
{
    const auto change = [this] { DeviceComboBoxChange(); };
    for (ComboBox *box : {DeviceComboBox, PortComboBox, ComboBox4, ComboBox5})
        connect(box, &ComboBox::Change, this, change);
    for (QLineEdit *edit : {Edit1, Edit2, Edit4})
        connect(edit, &QLineEdit::textChanged, this, change);
    for (QCheckBox *box : {FlashWrite, FlashRead, FlashVerify, EEPROMWrite, EEPROMRead, EEPROMVerify, CheckBox1,
                           CheckBox2, CheckBox7, CheckBox8, CheckBox9, CheckBox10, CheckBox11, CheckBox12})
        connect(box, &QCheckBox::toggled, this, change);
    connect(ProgComboBox, &ComboBox::Change, this, &TForm1::ProgComboBoxChange);
    connect(CheckBox13, &QCheckBox::toggled, this, &TForm1::CheckBox13Click);
    connect(CheckBox14, &QCheckBox::toggled, this, &TForm1::CheckBox14Click);
    connect(CheckBox15, &QCheckBox::toggled, this, &TForm1::CheckBox15Click);
    connect(CheckBox16, &QCheckBox::toggled, this, &TForm1::CheckBox16Click);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);

    using Handler = void (TForm1::*)();
    const Handler hexChange[] = {&TForm1::MaskEdit30Change, &TForm1::MaskEdit40Change, &TForm1::MaskEdit50Change,
                                 &TForm1::MaskEdit60Change};
    const Handler binChange[] = {&TForm1::MaskEdit31Change, &TForm1::MaskEdit41Change, &TForm1::MaskEdit51Change,
                                 &TForm1::MaskEdit61Change};
    const Handler readClick[] = {&TForm1::SpeedButton1Click, &TForm1::SpeedButton2Click, &TForm1::SpeedButton3Click,
                                 &TForm1::SpeedButton4Click};
    const Handler writeClick[] = {&TForm1::SpeedButton7Click, &TForm1::SpeedButton8Click,
                                  &TForm1::SpeedButton9Click, &TForm1::SpeedButton10Click};
    for (int g = 0; g < 4; ++g) {
        const fuses::FuseGroup &group = groups[g];
        connect(group.hex, &fuses::MaskEdit::Change, this, hexChange[g]);
        connect(group.bin, &fuses::MaskEdit::Change, this, binChange[g]);
        group.bin->keyPress = &TForm1::MaskEdit31KeyPress;
        connect(group.read, &QPushButton::clicked, this, readClick[g]);
        connect(group.write, &QPushButton::clicked, this, writeClick[g]);
        for (int k = 0; k < 8; ++k)
            connect(group.bits[k], &QCheckBox::toggled, this, [this, g, k] { CheckBoxClick(g + 3, k); });
    }
    connect(SpeedButton5, &QPushButton::clicked, this, &TForm1::SpeedButton5Click);
    connect(SpeedButton6, &QPushButton::clicked, this, &TForm1::SpeedButton6Click);
    connect(SpeedButton11, &QPushButton::clicked, this, &TForm1::SpeedButton11Click);
    for (fuses::MaskEdit *field : {MaskEdit30, MaskEdit40, MaskEdit50, MaskEdit60, MaskEdit70, MaskEdit80})
        connect(field, &fuses::MaskEdit::InvalidOnLeave, this, [this] {
            ShowError(this, QStringLiteral("Invalid input value.  Use escape key to abandon changes"));
        });
}

compose::FormState TForm1::Snapshot() const
{
    compose::FormState s;
    s.DeviceComboBox = DeviceComboBox->Text();
    s.ProgComboBox = ProgComboBox->Text();
    s.PortComboBox = PortComboBox->Text();
    s.Edit1 = Edit1->text();
    s.Edit2 = Edit2->text();
    s.Edit4 = Edit4->text();
    s.ComboBox4 = ComboBox4->Text();
    s.ComboBox5 = ComboBox5->Text();
    s.FlashWrite = FlashWrite->isChecked();
    s.FlashRead = FlashRead->isChecked();
    s.FlashVerify = FlashVerify->isChecked();
    s.EEPROMWrite = EEPROMWrite->isChecked();
    s.EEPROMRead = EEPROMRead->isChecked();
    s.EEPROMVerify = EEPROMVerify->isChecked();
    s.CheckBox1 = CheckBox1->isChecked();
    s.CheckBox2 = CheckBox2->isChecked();
    s.CheckBox7 = CheckBox7->isChecked();
    s.CheckBox8 = CheckBox8->isChecked();
    s.CheckBox9 = CheckBox9->isChecked();
    s.CheckBox10 = CheckBox10->isChecked();
    s.CheckBox11 = CheckBox11->isChecked();
    s.CheckBox12 = CheckBox12->isChecked();
    s.CheckBox13 = CheckBox13->isChecked();
    s.CheckBox14 = CheckBox14->isChecked();
    s.CheckBox15 = CheckBox15->isChecked();
    s.CheckBox16 = CheckBox16->isChecked();
    return s;
}

void TForm1::BuildCommandLine(QLineEdit *target) { target->setText(compose::BuildCommandLine(Snapshot())); }

void TForm1::FormCreate()
{
    BuildCommandLine(Edit3);
    for (const auto &g : groups)
        for (int k = 0; k < 8; ++k)
            g.bits[k]->setText(fuses::PlainBitCaption(k));
    LoadSettings();
    ProgComboBoxChange();
}

void TForm1::DeviceComboBoxChange()
{
    ApplyFuseLayout();
    BuildCommandLine(Edit3);
    QGuiApplication::setApplicationDisplayName(DeviceComboBox->Text());
}

// Reset and No Reset exclude each other, and so do Vcc and No Vcc.
void TForm1::CheckBox13Click()
{
    if (CheckBox13->isChecked())
        CheckBox14->setChecked(false);
    BuildCommandLine(Edit3);
}

void TForm1::CheckBox14Click()
{
    if (CheckBox14->isChecked())
        CheckBox13->setChecked(false);
    BuildCommandLine(Edit3);
}

void TForm1::CheckBox15Click()
{
    if (CheckBox15->isChecked())
        CheckBox16->setChecked(false);
    BuildCommandLine(Edit3);
}

void TForm1::CheckBox16Click()
{
    if (CheckBox16->isChecked())
        CheckBox15->setChecked(false);
    BuildCommandLine(Edit3);
}

void TForm1::BrowseInto(QLineEdit *field)
{
    QString dir = DirectoryPart(field->text());
    if (dir.isEmpty())
        dir = runner::OwnDirectory() + QLatin1Char('/');
    const QString chosen = OpenDialog1(dir, kFileFilter);
    if (!chosen.isEmpty())
        field->setText(chosen);
}

void TForm1::Button1Click() { BrowseInto(Edit1); }

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    // A file dropped on the flash or EEPROM row sets that row's file name, as the browse button would.
    QLineEdit *field = watched == GroupBox1 ? Edit1 : watched == GroupBox2 ? Edit2 : nullptr;
    if (!field || (event->type() != QEvent::DragEnter && event->type() != QEvent::DragMove &&
                   event->type() != QEvent::Drop))
        return QWidget::eventFilter(watched, event);
    auto *drop = static_cast<QDropEvent *>(event);
    const QList<QUrl> urls = drop->mimeData()->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (event->type() == QEvent::Drop)
        field->setText(urls.front().toLocalFile());
    return true;
}

void TForm1::Button2Click() { BrowseInto(Edit2); }

void TForm1::SetMemoBounds(int top, int height)
{
    Memo1->setGeometry(3, top, 622, height);
    memoBottomGap_ = this->height() - (top + height);
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Anchored left, top and bottom: the pane grows and shrinks with the window's height.
    Memo1->resize(Memo1->width(), std::max(0, height() - memoBottomGap_ - Memo1->y()));
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // While a tool runs the window is disabled and stays open; the run ends first.
    if (running_ || !SaveSettings())
        event->ignore();
    else
        event->accept();
}
