// The window's controls and where they stand, area by area. Every position is the window's own.
#include "app/form1.h"

#include "app/desktop.h"
#include "compose/vocabulary.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QVBoxLayout>

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
    {&TForm1::disableAutoEraseBox, 8, 16, 179}, {&TForm1::chipEraseBox, 8, 32, 176},
    {&TForm1::overrideSignatureBox, 8, 48, 176}, {&TForm1::noWriteBox, 8, 64, 176},
    {&TForm1::quietBox, 216, 16, 167},           {&TForm1::terminalBox, 216, 32, 167},
    {&TForm1::verboseBox, 216, 48, 167},         {&TForm1::noVerifyBox, 216, 64, 167},
};
static_assert(std::size(kOptionPlaces) == std::size(compose::OptionTable));

constexpr BoxPlace kExitModePlaces[] = {
    {&TForm1::resetBox, 8, 16, 73},
    {&TForm1::noResetBox, 8, 32, 73},
    {&TForm1::vccBox, 104, 16, 58},
    {&TForm1::noVccBox, 104, 32, 73},
};
static_assert(std::size(kExitModePlaces) == std::size(compose::ExitModeTable));

// Makes the boxes of a table inside `parent`, with their captions and tooltips from the table.
template <typename Table, std::size_t N>
void MakeTableBoxes(TForm1 *form, const Table &table, const BoxPlace (&places)[N], QWidget *parent,
                    std::array<QCheckBox *, N> &boxes)
{
    for (std::size_t i = 0; i < N; ++i) {
        const auto &row = table[i];
        QCheckBox *box = MakeCheckBox(QString::fromLatin1(row.name), QString::fromUtf8(row.caption), parent,
                                      places[i].left, places[i].top, places[i].width);
        box->setToolTip(QString::fromUtf8(row.tooltip));
        boxes[i] = box;
        if (places[i].member)
            form->*places[i].member = box;
    }
}

// Where each byte editor stands, in the order of fuses::FuseByteTable: the groups were laid out by
// hand, each with its own small offsets.
constexpr widgets::ByteEditor::Geometry kByteEditorPlaces[] = {
    {3, 13, 19, 54, 19, 50, 21, 56},
    {107, 13, 20, 55, 20, 51, 20, 57},
    {211, 14, 20, 56, 20, 51, 19, 57},
    {315, 13, 20, 55, 20, 51, 19, 57},
};
static_assert(std::size(kByteEditorPlaces) == fuses::kFuseByteCount);

}  // namespace

void TForm1::CreateControls()
{
    // The design's window, and the run strip below everything it holds; no smaller than that.
    resize(kDesignWidth + kPanelWidth, 683 + widgets::RunStrip::kHeight);
    setMinimumSize(kDesignWidth, 683 + widgets::RunStrip::kHeight);
    move(10, 10);
    // The layout was drawn for an 11-pixel font; the desktop's default face at that size fits it.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    // Group titles sit in the frame's top line, so the rows inside keep the room they were given.
    setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
                                 "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0px 2px; }"
                                 "QLineEdit { padding: 0px 1px; }"
                                 // The boxes of the top row were drawn for a narrower arrow: a part name
                                 // such as ATmega328P shows whole.
                                 "QComboBox { padding-left: 1px; }"
                                 "QComboBox::drop-down { width: 13px; }"));
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
    deviceBox = Named(Place(new ComboBox(compose::DeviceList(), QStringLiteral("ATmega8"), this), 7, 24, 99, 21),
                      QStringLiteral("DeviceComboBox"));
    MakeLabel(QStringLiteral("-c Programmer:"), this, 111, 8);
    programmerBox = Named(Place(new ComboBox(compose::ProgrammerList(), QStringLiteral("usbasp"), this), 111, 24, 109, 21),
                          QStringLiteral("ProgComboBox"));
    // Long lists: typing filters them by any part of the name, and the open list is wide enough
    // for its longest entry and shows at least 20.
    for (ComboBox *box : {deviceBox, programmerBox}) {
        auto *completer = new QCompleter(box->model(), box);
        completer->setFilterMode(Qt::MatchContains);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setCompletionMode(QCompleter::PopupCompletion);  // the typed text stays as typed
        completer->setMaxVisibleItems(20);
        box->setCompleter(completer);
        box->setMaxVisibleItems(20);
        box->view()->setMinimumWidth(box->view()->sizeHintForColumn(0) + 24);
        box->setObjectName(box == deviceBox ? QStringLiteral("DeviceComboBox") : QStringLiteral("ProgComboBox"));
    }
    MakeLabel(QStringLiteral("-P Port:"), this, 226, 8);
    portBox = Named(Place(new ComboBox(compose::PortItems(deps_.listPorts()), QString(), this), 226, 24, 81, 21),
                    QStringLiteral("PortComboBox"));
    MakeLabel(QStringLiteral("Extra Command Line Options "), this, 315, 9);
    extraOptions = Named(Place(new QLineEdit(this), 313, 24, 309, 21), QStringLiteral("Edit4"));
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
        {flashRow, flashWrite, flashRead, flashVerify, flashFile, flashBrowse, flashFormat, "Flash:", "Flash", 1, 48, 59, 0},
        {eepromRow, eepromWrite, eepromRead, eepromVerify, eepromFile, eepromBrowse, eepromFormat, "EEPROM:", "EEPROM", 2,
         107, 58, -1},
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
    for (std::size_t i = 0; i < fuses::kFuseByteCount; ++i)
        byteEditors[i] = new widgets::ByteEditor(fuses::FuseByteTable[i], kByteEditorPlaces[i], this);

    calibrationGroup = MakeGroupBox(QStringLiteral("GroupBox7"), QStringLiteral("Calibration"), this, 419, 165, 100, 235);
    calibrationRead = Named(MakeSpeedButton(QStringLiteral("Read"), widgets::kReadHue, calibrationGroup, 13, 20, 36),
                            QStringLiteral("SpeedButton5"));
    calibrationWrite = Named(MakeSpeedButton(QStringLiteral("Write"), widgets::kWriteHue, calibrationGroup, 55, 20, 38),
                             QStringLiteral("SpeedButton11"));
    calibrationField = MakeHexField(calibrationGroup, QStringLiteral("MaskEdit70"), 8, 6, 52, 80);

    signatureGroup = MakeGroupBox(QStringLiteral("GroupBox8"), QStringLiteral("Signature"), this, 523, 165, 100, 235);
    signatureRead = Named(MakeSpeedButton(QStringLiteral("Read"), widgets::kReadHue, signatureGroup, 26, 19, 38),
                          QStringLiteral("SpeedButton6"));
    signatureField = MakeHexField(signatureGroup, QStringLiteral("MaskEdit80"), 6, 8, 51, 64);
    signaturePart = Named(new QLabel(signatureGroup), QStringLiteral("SignaturePart"));
    signaturePart->setGeometry(8, 92, 88, 60);
    signaturePart->setWordWrap(true);
    signaturePart->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    detectButton = Named(Place(new QPushButton(QStringLiteral("Detect"), signatureGroup), 8, 200, 84, 25),
                         QStringLiteral("DetectButton"));
    detectButton->setToolTip(QStringLiteral("Read the chip's signature with this programmer and port, and select its part"));

    // The panel grows the window to the right; every position of the design stays.
    fuseSettingsGroup = MakeGroupBox(QStringLiteral("FuseSettingsGroup"), QStringLiteral("Fuse Settings"), this,
                                     kDesignWidth + 2, 3, kPanelWidth - 6, 678);
    auto *inside = new QVBoxLayout(fuseSettingsGroup);
    inside->setContentsMargins(6, 14, 6, 6);
    fuseSettings = Named(new widgets::FuseSettingsPanel(fuseSettingsGroup), QStringLiteral("FuseSettings"));
    inside->addWidget(fuseSettings);
}

void TForm1::CreateOptions()
{
    optionsGroup = MakeGroupBox(QStringLiteral("Options"), QStringLiteral("Options"), this, 3, 400, 412, 84);
    MakeTableBoxes(this, compose::OptionTable, kOptionPlaces, optionsGroup, optionBoxes);
    exitModeGroup = MakeGroupBox(QStringLiteral("GroupBox9"), QStringLiteral("-E Exitmode"), this, 419, 400, 204, 84);
    MakeTableBoxes(this, compose::ExitModeTable, kExitModePlaces, exitModeGroup, exitModeBoxes);
}

void TForm1::CreateBottom()
{
    MakeLabel(QStringLiteral("Command line:"), this, 4, 484);
    commandLine = Named(Place(new QLineEdit(this), 3, 499, 485, 21), QStringLiteral("Edit3"));
    executeButton = Named(Place(new QPushButton(QStringLiteral("Execute"), this), 495, 497, 127, 25),
                          QStringLiteral("BitBtn1"));
    executeButton->setAutoDefault(true);  // Enter on the focused button clicks it, as on the original platform
    outputPane = Named(new widgets::OutputPane(this), QStringLiteral("Memo1"));
    outputPane->setReadOnly(true);
    outputPane->setUndoRedoEnabled(false);  // output is only ever appended: no undo history to keep
    outputPane->setTabChangesFocus(true);
    outputPane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    outputPane->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // The window is disabled while a tool runs; its output stays as readable as ever.
    QPalette pane = outputPane->palette();
    for (const auto role : {QPalette::Text, QPalette::Base, QPalette::WindowText})
        pane.setColor(QPalette::Disabled, role, pane.color(QPalette::Active, role));
    outputPane->setPalette(pane);
    outputPane->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    SetPaneBounds(525, 155);
    runStrip = Named(new widgets::RunStrip(this), QStringLiteral("RunStrip1"));
    runStrip->setGeometry(0, 683, 626, widgets::RunStrip::kHeight);
}

void TForm1::SetTabOrder()
{
    // As the window was designed: top row, rows, byte groups, options, command line.
    QList<QWidget *> chain{deviceBox,  programmerBox, portBox,      flashWrite,  flashRead,
                           flashVerify, flashFile,    flashBrowse,  flashFormat, eepromWrite,
                           eepromRead, eepromVerify, eepromFile,   eepromBrowse, eepromFormat};
    for (const widgets::ByteEditor *editor : byteEditors)
        chain << editor->tabChain();
    chain << calibrationField << signatureField;
    // The option and exit-mode boxes in the order they were numbered.
    QList<QCheckBox *> boxes(optionBoxes.begin(), optionBoxes.end());
    boxes.append(QList<QCheckBox *>(exitModeBoxes.begin(), exitModeBoxes.end()));
    const auto number = [](const QCheckBox *box) { return box->objectName().mid(8).toInt(); };
    std::ranges::sort(boxes, {}, number);
    for (QCheckBox *box : boxes)
        chain << box;
    chain << commandLine << executeButton << outputPane << extraOptions;
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}
