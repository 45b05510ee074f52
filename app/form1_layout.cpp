// The window's controls and where they stand, area by area. Every position is the window's own.
#include "app/form1.h"

#include "app/desktop.h"
#include "compose/vocabulary.h"

namespace {

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

template <typename T>
T *Named(T *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

QLabel *MakeLabel(const QString &caption, QWidget *parent, int left, int top)
{
    auto *label = new QLabel(caption, parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QCheckBox *MakeCheckBox(const QString &name, const QString &caption, QWidget *parent, int left, int top, int width)
{
    return Place(Named(new QCheckBox(caption, parent), name), left, top, width, 17);
}

QGroupBox *MakeGroupBox(const QString &name, const QString &caption, QWidget *parent, int left, int top, int width,
                        int height)
{
    auto *box = Named(new QGroupBox(caption, parent), name);
    box->setGeometry(left, top, width, height);
    return box;
}

SpeedButton *MakeSpeedButton(const QString &caption, const QColor &hue, QWidget *parent, int left, int top, int width)
{
    auto *button = new SpeedButton(caption, hue, parent);
    button->setGeometry(left, top, width, 17);
    return button;
}

// "Hex:" and a field of `positions` hexadecimal digits, all of them required, starting at 0.
MaskEdit *MakeHexField(QGroupBox *box, const QString &name, int positions, int left, int labelTop, int width)
{
    MakeLabel(QStringLiteral("Hex:"), box, left, labelTop);
    auto *field = Named(new MaskEdit({positions, true, false, true}, QString(positions, u'0'), box), name);
    field->setGeometry(left, 67, width, 21);
    return field;
}

// Where each box of a table stands in its group, row by row, and the window member that names it
// (null for a box that needs no name of its own: the tables reach every box).
struct BoxPlace {
    QCheckBox *TForm1::*member;
    int left, top, width;
};

constexpr BoxPlace kOptionPlaces[] = {
    {&TForm1::CheckBox1, 8, 16, 179},   {&TForm1::CheckBox2, 8, 32, 176},   {&TForm1::CheckBox7, 8, 48, 176},
    {&TForm1::CheckBox8, 8, 64, 176},   {&TForm1::CheckBox9, 216, 16, 167}, {&TForm1::CheckBox10, 216, 32, 167},
    {&TForm1::CheckBox12, 216, 48, 167}, {&TForm1::CheckBox11, 216, 64, 167},
};
static_assert(std::size(kOptionPlaces) == std::size(compose::OptionTable));

constexpr BoxPlace kExitModePlaces[] = {
    {&TForm1::CheckBox13, 8, 16, 73},
    {&TForm1::CheckBox14, 8, 32, 73},
    {&TForm1::CheckBox15, 104, 16, 58},
    {&TForm1::CheckBox16, 104, 32, 73},
};
static_assert(std::size(kExitModePlaces) == std::size(compose::ExitModeTable));

// Makes the boxes of a table inside `parent`, with their captions and tooltips from the table.
template <typename Table, std::size_t N>
void MakeTableBoxes(TForm1 *form, const Table &table, const BoxPlace (&places)[N], QWidget *parent,
                    std::array<QCheckBox *, N> &boxes)
{
    for (std::size_t i = 0; i < N; ++i) {
        const compose::OptionBox &row = table[i];
        QCheckBox *box = MakeCheckBox(QString::fromLatin1(row.name), QString::fromUtf8(row.caption), parent,
                                      places[i].left, places[i].top, places[i].width);
        box->setToolTip(QString::fromUtf8(row.tooltip));
        boxes[i] = box;
        if (places[i].member)
            form->*places[i].member = box;
    }
}

}  // namespace

void TForm1::CreateControls()
{
    // The design's window, and the run strip below everything it holds.
    resize(626, 683 + widgets::RunStrip::kHeight);
    move(10, 10);
    // The layout was drawn for an 11-pixel font; the desktop's default face at that size fits it.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    // Group titles sit in the frame's top line, so the rows inside keep the room they were given.
    setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
                                 "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0px 2px; }"
                                 "QLineEdit { padding: 0px 1px; }"));
    CreateTopRow();
    CreateFileRows();
    CreateByteGroups();
    CreateOptions();
    CreateBottom();
    SetTabOrder();
}

void TForm1::CreateTopRow()
{
    MakeLabel(QStringLiteral("-p Device:"), this, 7, 8);
    DeviceComboBox = Named(Place(new ComboBox(compose::DeviceList(), QStringLiteral("ATmega8"), this), 7, 24, 99, 21),
                           QStringLiteral("DeviceComboBox"));
    MakeLabel(QStringLiteral("-c Programmer:"), this, 111, 8);
    ProgComboBox = Named(Place(new ComboBox(compose::ProgrammerList(), QStringLiteral("usbasp"), this), 111, 24, 109, 21),
                         QStringLiteral("ProgComboBox"));
    MakeLabel(QStringLiteral("-P Port:"), this, 226, 8);
    PortComboBox = Named(Place(new ComboBox(compose::PortItems(ListSerialPorts()), QString(), this), 226, 24, 81, 21),
                         QStringLiteral("PortComboBox"));
    MakeLabel(QStringLiteral("Extra Command Line Options "), this, 315, 9);
    Edit4 = Named(Place(new QLineEdit(this), 313, 24, 309, 21), QStringLiteral("Edit4"));
}

void TForm1::CreateFileRows()
{
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
        r.box = MakeGroupBox(QStringLiteral("GroupBox%1").arg(r.number), QString::fromLatin1(r.caption), this, 3, r.top,
                             620, r.height);
        const QString prefix = QString::fromLatin1(r.prefix);
        r.write = MakeCheckBox(prefix + QStringLiteral("Write"), QStringLiteral("Write"), r.box, 8, 14 + r.dy, 65);
        r.read = MakeCheckBox(prefix + QStringLiteral("Read"), QStringLiteral("Read"), r.box, 128, 14 + r.dy, 97);
        r.verify = MakeCheckBox(prefix + QStringLiteral("Verify"), QStringLiteral("Verify"), r.box, 256, 14 + r.dy, 97);
        r.file = Named(Place(new QLineEdit(r.box), 8, 32 + r.dy, 473, 21), QStringLiteral("Edit%1").arg(r.number));
        r.browse = Named(Place(new QPushButton(QStringLiteral("..."), r.box), 483, 32 + r.dy, 22, 21),
                         QStringLiteral("Button%1").arg(r.number));
        r.browse->setStyleSheet(QStringLiteral("padding: 0px"));
        r.browse->setAutoDefault(true);  // Enter on the focused button clicks it
        r.format = Named(Place(new ComboBox(compose::FormatList(), QString(), r.box), 512, 32 + r.dy, 103, 21),
                         QStringLiteral("ComboBox%1").arg(r.number + 3));
        MakeLabel(QStringLiteral("Format:"), r.box, 528, 16 + r.dy);
    }
}

void TForm1::CreateByteGroups()
{
    const char *groupCaptions[] = {"Low Fuse Byte", "High Fuse Byte", "Lock Fuse Byte", "Ext Fuse Byte"};
    for (int g = 0; g < 4; ++g)
        groups[g] = widgets::FuseGroup::Create(this, g + 3, 3 + 104 * g, QString::fromLatin1(groupCaptions[g]));
    MaskEdit30 = groups[0].hex, MaskEdit31 = groups[0].bin, MaskEdit40 = groups[1].hex, MaskEdit41 = groups[1].bin;
    MaskEdit50 = groups[2].hex, MaskEdit51 = groups[2].bin, MaskEdit60 = groups[3].hex, MaskEdit61 = groups[3].bin;
    SpeedButton1 = groups[0].read, SpeedButton2 = groups[1].read, SpeedButton3 = groups[2].read;
    SpeedButton4 = groups[3].read, SpeedButton7 = groups[0].write, SpeedButton8 = groups[1].write;
    SpeedButton9 = groups[2].write, SpeedButton10 = groups[3].write;

    GroupBox7 = MakeGroupBox(QStringLiteral("GroupBox7"), QStringLiteral("Calibration"), this, 419, 165, 100, 235);
    SpeedButton5 = MakeSpeedButton(QStringLiteral("Read"), widgets::kReadHue, GroupBox7, 13, 20, 36);
    SpeedButton11 = MakeSpeedButton(QStringLiteral("Write"), widgets::kWriteHue, GroupBox7, 55, 20, 38);
    MaskEdit70 = MakeHexField(GroupBox7, QStringLiteral("MaskEdit70"), 8, 6, 52, 80);

    GroupBox8 = MakeGroupBox(QStringLiteral("GroupBox8"), QStringLiteral("Signature"), this, 523, 165, 100, 235);
    SpeedButton6 = MakeSpeedButton(QStringLiteral("Read"), widgets::kReadHue, GroupBox8, 26, 19, 38);
    MaskEdit80 = MakeHexField(GroupBox8, QStringLiteral("MaskEdit80"), 6, 8, 51, 64);
}

void TForm1::CreateOptions()
{
    Options = MakeGroupBox(QStringLiteral("Options"), QStringLiteral("Options"), this, 3, 400, 412, 84);
    MakeTableBoxes(this, compose::OptionTable, kOptionPlaces, Options, optionBoxes);
    GroupBox9 = MakeGroupBox(QStringLiteral("GroupBox9"), QStringLiteral("-E Exitmode"), this, 419, 400, 204, 84);
    MakeTableBoxes(this, compose::ExitModeTable, kExitModePlaces, GroupBox9, exitModeBoxes);
}

void TForm1::CreateBottom()
{
    MakeLabel(QStringLiteral("Command line:"), this, 4, 484);
    Edit3 = Named(Place(new QLineEdit(this), 3, 499, 485, 21), QStringLiteral("Edit3"));
    BitBtn1 = Named(Place(new QPushButton(QStringLiteral("Execute"), this), 495, 497, 127, 25), QStringLiteral("BitBtn1"));
    BitBtn1->setAutoDefault(true);  // Enter on the focused button clicks it, as on the original platform
    Edit5 = Named(Place(new QLineEdit(this), 11, 651, 485, 21), QStringLiteral("Edit5"));
    Edit5->setVisible(false);
    Memo1 = Named(new widgets::OutputPane(this), QStringLiteral("Memo1"));
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
    RunStrip1 = new widgets::RunStrip(this);
    RunStrip1->setGeometry(0, 683, 626, widgets::RunStrip::kHeight);
}

void TForm1::SetTabOrder()
{
    // As the window was designed: top row, rows, byte groups, options, command line.
    QList<QWidget *> chain{DeviceComboBox, ProgComboBox, PortComboBox, FlashWrite, FlashRead, FlashVerify, Edit1,
                           Button1, ComboBox4, EEPROMWrite, EEPROMRead, EEPROMVerify, Edit2, Button2, ComboBox5};
    for (const auto &g : groups) {
        for (int k = 1; k < 8; ++k)
            chain << g.bits[k];
        chain << g.hex << g.bin << g.bits[0];
    }
    chain << MaskEdit70 << MaskEdit80;
    // The option and exit-mode boxes in the order they were numbered.
    QList<QCheckBox *> boxes(optionBoxes.begin(), optionBoxes.end());
    boxes.append(QList<QCheckBox *>(exitModeBoxes.begin(), exitModeBoxes.end()));
    const auto number = [](const QCheckBox *box) { return box->objectName().mid(8).toInt(); };
    std::ranges::sort(boxes, {}, number);
    for (QCheckBox *box : boxes)
        chain << box;
    chain << Edit3 << BitBtn1 << Memo1 << Edit4;
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}
