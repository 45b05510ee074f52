// The window's controls and where they stand, area by area. Every position is the window's own.
#include "window/controls.h"

#include <QAbstractItemView>
#include <QScrollArea>
#include <QSplitter>
#include <QApplication>
#include <QCompleter>
#include <QGridLayout>
#include <QEvent>
#include <QScrollBar>
#include <QVBoxLayout>

namespace window {
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
    QCheckBox *Controls::*member;
    int left, top, width;
};

// The second column of options stands right of the longest caption of the first ("-F Override the
// device signature check"); the exit modes need less room than they were given.
constexpr BoxPlace kOptionPlaces[] = {
    {&Controls::disableAutoEraseBox, 8, 16, 179}, {&Controls::chipEraseBox, 8, 32, 176},
    {&Controls::overrideSignatureBox, 8, 48, 176}, {&Controls::noWriteBox, 8, 64, 176},
    {&Controls::quietBox, 268, 16, 186},           {&Controls::terminalBox, 268, 32, 180},
    {&Controls::verboseBox, 268, 48, 186},         {&Controls::noVerifyBox, 268, 64, 186},
};
static_assert(std::size(kOptionPlaces) == std::size(compose::OptionTable));

constexpr BoxPlace kExitModePlaces[] = {
    {&Controls::resetBox, 8, 16, 73},
    {&Controls::noResetBox, 8, 32, 73},
    {&Controls::vccBox, 84, 16, 58},
    {&Controls::noVccBox, 84, 32, 70},
};
static_assert(std::size(kExitModePlaces) == std::size(compose::ExitModeTable));

// Makes the boxes of a table inside `parent`, with their captions and tooltips from the table.
template <typename Table, std::size_t N>
void MakeTableBoxes(Controls &ui, const Table &table, const BoxPlace (&places)[N], QWidget *parent,
                    std::array<QCheckBox *, N> &boxes)
{
    for (std::size_t i = 0; i < N; ++i) {
        const auto &row = table[i];
        QCheckBox *box = MakeCheckBox(QString::fromLatin1(row.name), QString::fromUtf8(row.caption), parent,
                                      places[i].left, places[i].top, places[i].width);
        box->setToolTip(QString::fromUtf8(row.tooltip));
        boxes[i] = box;
        if (places[i].member)
            ui.*places[i].member = box;
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

void CreateTopRow(Controls &ui, QWidget *w, const compose::Vocabulary &words, const QStringList &ports);
void CreateFileRows(Controls &ui, QWidget *w);
void CreateByteGroups(Controls &ui, QWidget *w);
void CreatePanel(Controls &ui, QWidget *w);
void CreateOptions(Controls &ui, QWidget *w);
void CreateBottom(Controls &ui, QWidget *w);
void CreateOutput(Controls &ui, QWidget *w);
double FontScale();
void ScaleForm(QWidget *form, double scale);
void SetTabOrder(const Controls &ui);
void SetAccessKeys(QWidget *window);
void WidenRows(Controls &ui, int by);

const QString kFormStyle = QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 6px; }"
                                          "QGroupBox::title { subcontrol-origin: margin; left: 7px; padding: 0px 2px; }"
                                          "QLineEdit { padding: 0px 1px; }"
                                          // The boxes of the top row were drawn for a narrower arrow: a part
                                          // name such as ATmega328P shows whole.
                                          "QComboBox { padding-left: 1px; }"
                                          "QComboBox::drop-down { width: 13px; }");

// A style sheet takes the colours of the palette it was applied under: when the desktop's palette
// changes (a theme switched from light to dark) the form's is applied again, or it would keep the old
// background under the new text colours.
class FollowPalette : public QObject {
public:
    explicit FollowPalette(QWidget *form) : QObject(form), form_(form) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (restyling_ || (event->type() != QEvent::ApplicationPaletteChange && event->type() != QEvent::PaletteChange))
            return false;
        restyling_ = true;
        form_->setPalette(QPalette());  // the window's again, not the one the style sheet kept
        form_->setStyleSheet(QString());
        form_->setStyleSheet(kFormStyle);
        restyling_ = false;
        return false;
    }

private:
    QWidget *form_;
    bool restyling_ = false;
};

}  // namespace

Controls MakeControls(QWidget *w, const compose::Vocabulary &words, const QStringList &serialPorts)
{
    Controls ui;
    // The design's form: every control where the design puts it, on a canvas of the design's size.
    // It stands in its scroll area before it gets its font and its controls: a widget moved into
    // another parent afterwards would take that parent's font again.
    ui.designScroll = Named(new QScrollArea(w), QStringLiteral("DesignScroll"));
    ui.designForm = Named(new QWidget, QStringLiteral("DesignForm"));
    ui.designScroll->setWidget(ui.designForm);
    QWidget *form = ui.designForm;
    // The layout was drawn for an 11-pixel font; a desktop's larger font makes the whole form larger.
    const double scale = FontScale();
    QFont small = form->font();
    small.setPixelSize(qRound(11 * scale));
    form->setFont(small);
    // Group titles sit in the frame's top line, so the rows inside keep the room they were given.
    form->setStyleSheet(kFormStyle);
    w->installEventFilter(new FollowPalette(form));  // the window hears of a new palette; the form may not
    CreateTopRow(ui, form, words, serialPorts);
    CreateFileRows(ui, form);
    CreateByteGroups(ui, form);
    CreateOptions(ui, form);
    CreateBottom(ui, form);
    // As wide as designed, or as the options and exit modes need with the desktop's fonts; the rows
    // that reach the design's right edge reach the new one.
    const int formWidth = std::max(kDesignWidth, ui.exitModeGroup->geometry().right() + 4);
    WidenRows(ui, formWidth - kDesignWidth);
    ScaleForm(form, scale);
    form->setFixedSize(qRound(formWidth * scale), qRound(kFormHeight * scale));

    // The window: the form (scrolling where the window is smaller) above the output, the panel
    // beside them, the run strip along the bottom edge; the output and the panel grow with the window.
    CreatePanel(ui, w);
    CreateOutput(ui, w);
    ui.designScroll->setFrameShape(QFrame::NoFrame);
    ui.designScroll->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ui.designScroll->setMinimumSize(120, 60);
    ui.leftSplitter = Named(new QSplitter(Qt::Vertical, w), QStringLiteral("LeftSplitter"));
    ui.leftSplitter->addWidget(ui.designScroll);
    ui.leftSplitter->addWidget(ui.outputPane);
    ui.leftSplitter->setStretchFactor(0, 0);
    ui.leftSplitter->setStretchFactor(1, 1);
    ui.leftSplitter->setHandleWidth(3);
    ui.outputPane->setMinimumHeight(60);
    ui.mainSplitter = Named(new QSplitter(Qt::Horizontal, w), QStringLiteral("MainSplitter"));
    ui.mainSplitter->addWidget(ui.leftSplitter);
    // The panel scrolls too, where the window is narrower or lower than its rows of buttons.
    ui.panelScroll = Named(new QScrollArea(w), QStringLiteral("PanelScroll"));
    ui.panelScroll->setWidget(ui.fuseSettingsGroup);
    ui.panelScroll->setWidgetResizable(true);
    ui.panelScroll->setFrameShape(QFrame::NoFrame);
    ui.mainSplitter->addWidget(ui.panelScroll);
    // A narrower window takes its room from the panel first, a wider one gives it to the panel.
    ui.mainSplitter->setStretchFactor(0, 0);
    ui.mainSplitter->setStretchFactor(1, 1);
    ui.mainSplitter->setChildrenCollapsible(false);
    ui.panelScroll->setMinimumWidth(200);
    auto *column = new QVBoxLayout(w);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(ui.mainSplitter, 1);
    column->addWidget(ui.runStrip);
    ui.runStrip->setFixedHeight(widgets::RunStrip::kHeight);
    // As designed at the usual size: the form whole, the output below it, the panel beside, as wide
    // as its rows of buttons need with the desktop's fonts.
    const int panelWidth = std::max(qRound(kPanelWidth * scale), ui.fuseSettingsGroup->minimumSizeHint().width() +
                                                                     ui.panelScroll->verticalScrollBar()->sizeHint().width());
    ui.mainSplitter->setSizes({form->width(), panelWidth});
    ui.leftSplitter->setSizes({form->height(), qRound(158 * scale)});
    w->resize(form->width() + ui.mainSplitter->handleWidth() + panelWidth,
              form->height() + qRound(161 * scale) + widgets::RunStrip::kHeight);
    SetAccessKeys(w);
    SetTabOrder(ui);
    return ui;
}

namespace {

// The rows that end at the design's right edge (the extra options, the flash and EEPROM rows, the
// command line with Execute) `by` pixels wider: their fields grow, what stands right of them moves.
void WidenRows(Controls &ui, int by)
{
    if (by <= 0)
        return;
    const auto grow = [by](QWidget *w) { w->resize(w->width() + by, w->height()); };
    const auto shift = [by](QWidget *w) { w->move(w->x() + by, w->y()); };
    grow(ui.extraOptions);
    for (QGroupBox *row : {ui.flashRow, ui.eepromRow}) {
        grow(row);
        for (QWidget *child : row->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
            if (child == ui.flashFile || child == ui.eepromFile)
                grow(child);
            else if (child->x() > ui.flashFile->geometry().right())
                shift(child);  // the browse button, the format and its caption
    }
    grow(ui.commandLine);
    shift(ui.executeButton);
}

void CreateTopRow(Controls &ui, QWidget *w, const compose::Vocabulary &words, const QStringList &ports)
{
    MakeLabel(QStringLiteral("-p Device:"), w, 7, 8);
    ui.deviceBox = Named(Place(new ComboBox(words.deviceList(), QStringLiteral("ATmega8"), w), 7, 24, 99, 21),
                      QStringLiteral("DeviceComboBox"));
    MakeLabel(QStringLiteral("-c Programmer:"), w, 111, 8);
    ui.programmerBox = Named(Place(new ComboBox(words.programmerList(), QStringLiteral("usbasp"), w), 111, 24, 109, 21),
                          QStringLiteral("ProgComboBox"));
    // Long lists: typing filters them by any part of the name, and the open list is wide enough
    // for its longest entry and shows at least 20.
    for (ComboBox *box : {ui.deviceBox, ui.programmerBox}) {
        auto *completer = new QCompleter(box->model(), box);
        completer->setFilterMode(Qt::MatchContains);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setCompletionMode(QCompleter::PopupCompletion);  // the typed text stays as typed
        completer->setMaxVisibleItems(20);
        box->setCompleter(completer);
        widgets::LetClicksThrough(completer);
        box->setMaxVisibleItems(20);
        widgets::FitListToEntries(box);
        box->setObjectName(box == ui.deviceBox ? QStringLiteral("DeviceComboBox") : QStringLiteral("ProgComboBox"));
    }
    ui.programmerFit = Named(new QLabel(QStringLiteral("\u26A0"), w), QStringLiteral("ProgrammerFit"));
    ui.programmerFit->setGeometry(190, 4, 30, 18);
    ui.programmerFit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    widgets::Tint(ui.programmerFit, widgets::kErrorHue);
    QFont bold = ui.programmerFit->font();
    bold.setBold(true);
    ui.programmerFit->setFont(bold);
    ui.programmerFit->hide();
    MakeLabel(QStringLiteral("-P Port:"), w, 226, 8);
    ui.portBox = Named(Place(new ComboBox(compose::PortItems(ports), QString(), w), 226, 24, 81, 21),
                    QStringLiteral("PortComboBox"));
    MakeLabel(QStringLiteral("Extra Command Line Options "), w, 315, 9);
    ui.extraOptions = Named(Place(new QLineEdit(w), 313, 24, 309, 21), QStringLiteral("Edit4"));
}

void CreateFileRows(Controls &ui, QWidget *w)
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
        {ui.flashRow, ui.flashWrite, ui.flashRead, ui.flashVerify, ui.flashFile, ui.flashBrowse, ui.flashFormat, "Flash:", "Flash", 1, 48, 59, 0},
        {ui.eepromRow, ui.eepromWrite, ui.eepromRead, ui.eepromVerify, ui.eepromFile, ui.eepromBrowse, ui.eepromFormat, "EEPROM:", "EEPROM", 2,
         107, 58, -1},
    };
    for (Row &r : rows) {
        r.box = MakeGroupBox(QStringLiteral("GroupBox%1").arg(r.number), QString::fromLatin1(r.caption), w, 3, r.top,
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

void CreateByteGroups(Controls &ui, QWidget *w)
{
    for (std::size_t i = 0; i < fuses::kFuseByteCount; ++i)
        ui.byteEditors[i] = new widgets::ByteEditor(fuses::FuseByteTable[i], kByteEditorPlaces[i], w);

    ui.calibrationGroup = MakeGroupBox(QStringLiteral("GroupBox7"), QStringLiteral("Calibration"), w, 419, 165, 100, 235);
    ui.calibrationRead = Named(MakeSpeedButton(QStringLiteral("Read"), widgets::kReadHue, ui.calibrationGroup, 13, 20, 36),
                            QStringLiteral("SpeedButton5"));
    ui.calibrationWrite = Named(MakeSpeedButton(QStringLiteral("Write"), widgets::kWriteHue, ui.calibrationGroup, 55, 20, 38),
                             QStringLiteral("SpeedButton11"));
    ui.calibrationField = MakeHexField(ui.calibrationGroup, QStringLiteral("MaskEdit70"), 8, 6, 52, 80);

    ui.signatureGroup = MakeGroupBox(QStringLiteral("GroupBox8"), QStringLiteral("Signature"), w, 523, 165, 100, 235);
    ui.signatureRead = Named(MakeSpeedButton(QStringLiteral("Read"), widgets::kReadHue, ui.signatureGroup, 26, 19, 38),
                          QStringLiteral("SpeedButton6"));
    ui.signatureField = MakeHexField(ui.signatureGroup, QStringLiteral("MaskEdit80"), 6, 8, 51, 64);
    ui.signaturePart = Named(new QLabel(ui.signatureGroup), QStringLiteral("SignaturePart"));
    ui.signaturePart->setGeometry(8, 92, 88, 60);
    ui.signaturePart->setWordWrap(true);
    ui.signaturePart->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    ui.detectButton = Named(Place(new QPushButton(QStringLiteral("Detect"), ui.signatureGroup), 8, 200, 84, 25),
                         QStringLiteral("DetectButton"));
    ui.detectButton->setToolTip(QStringLiteral("Read the chip's signature with this programmer and port, and select its part"));

}

// The panel stands right of the design's form, and grows with the window.
void CreatePanel(Controls &ui, QWidget *w)
{
    ui.fuseSettingsGroup = Named(new QGroupBox(QStringLiteral("Fuse Settings"), w), QStringLiteral("FuseSettingsGroup"));
    auto *inside = new QVBoxLayout(ui.fuseSettingsGroup);
    inside->setContentsMargins(6, 14, 6, 6);
    ui.fuseSettings = Named(new widgets::FuseSettingsPanel(ui.fuseSettingsGroup), QStringLiteral("FuseSettings"));
    inside->addWidget(ui.fuseSettings);
    ui.readAllButton = Named(new QPushButton(QStringLiteral("Read All"), ui.fuseSettingsGroup), QStringLiteral("ReadAllFuses"));
    ui.readAllButton->setToolTip(QStringLiteral("Read every fuse and lock byte of the part from the chip, in one run"));
    auto *chipRow = new QHBoxLayout;
    chipRow->addWidget(ui.readAllButton);
    ui.programButton = Named(new QPushButton(QStringLiteral("Program Chip..."), ui.fuseSettingsGroup), QStringLiteral("ProgramChip"));
    ui.programButton->setToolTip(QStringLiteral("A whole chip from one ELF file (flash, EEPROM, fuses, lock), board after board"));
    chipRow->addWidget(ui.programButton);
    ui.memoriesButton = Named(new QPushButton(QStringLiteral("Memories..."), ui.fuseSettingsGroup), QStringLiteral("ShowMemories"));
    ui.memoriesButton->setToolTip(QStringLiteral("What the chip holds: a memory read whole into a hex view, and compared with an image"));
    chipRow->addWidget(ui.memoriesButton);
    chipRow->addStretch(1);
    inside->addLayout(chipRow);
    auto *boardRow = new QHBoxLayout;
    boardRow->addWidget(new QLabel(QStringLiteral("Board:"), ui.fuseSettingsGroup));
    ui.boardBox = Named(new QComboBox(ui.fuseSettingsGroup), QStringLiteral("BoardComboBox"));
    ui.boardBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ui.boardBox->setMinimumContentsLength(16);
    // Typing filters the boards by any part of their names, as the device box does.
    ui.boardBox->setEditable(true);
    ui.boardBox->setInsertPolicy(QComboBox::NoInsert);
    auto *boardFilter = new QCompleter(ui.boardBox->model(), ui.boardBox);
    boardFilter->setFilterMode(Qt::MatchContains);
    boardFilter->setCaseSensitivity(Qt::CaseInsensitive);
    boardFilter->setCompletionMode(QCompleter::PopupCompletion);
    boardFilter->setMaxVisibleItems(20);
    ui.boardBox->setCompleter(boardFilter);
    widgets::LetClicksThrough(boardFilter);
    ui.boardBox->setMaxVisibleItems(20);
    boardRow->addWidget(ui.boardBox, 1);
    ui.attachedBoardButton = Named(new QPushButton(ui.fuseSettingsGroup), QStringLiteral("AttachedBoard"));
    ui.attachedBoardButton->hide();  // shown while a board is plugged in
    inside->addWidget(ui.attachedBoardButton);
    inside->addLayout(boardRow);
    ui.boardMenus = Named(new QWidget(ui.fuseSettingsGroup), QStringLiteral("BoardMenus"));
    auto *menus = new QGridLayout(ui.boardMenus);
    menus->setContentsMargins(0, 0, 0, 0);
    menus->setColumnStretch(1, 1);
    menus->setColumnStretch(3, 1);
    inside->addWidget(ui.boardMenus);
    ui.boardMenus->hide();  // shown with a board that has menus
    ui.boardStatus = Named(new QLabel(ui.fuseSettingsGroup), QStringLiteral("BoardStatus"));
    ui.boardStatus->setWordWrap(true);
    widgets::Tint(ui.boardStatus, widgets::kErrorHue);
    ui.boardStatus->hide();
    inside->addWidget(ui.boardStatus);
    ui.uploadSetting = Named(new QLabel(ui.fuseSettingsGroup), QStringLiteral("UploadSetting"));
    ui.uploadSetting->setWordWrap(true);
    ui.uploadSetting->hide();
    inside->addWidget(ui.uploadSetting);
    auto *boardButtons = new QHBoxLayout;
    ui.addCoreButton = Named(new QPushButton(QStringLiteral("Add Core..."), ui.fuseSettingsGroup), QStringLiteral("AddCoreFolder"));
    ui.addCoreButton->setToolTip(QStringLiteral("Add the folder of an Arduino core (it holds boards.txt) to those found"));
    boardButtons->addWidget(ui.addCoreButton);
    boardButtons->addStretch(1);
    ui.burnButton = Named(new QPushButton(QStringLiteral("Burn Bootloader"), ui.fuseSettingsGroup), QStringLiteral("BurnBootloader"));
    ui.burnButton->setToolTip(QStringLiteral("With this programmer: erase, unlock and write the board's fuses, then its "
                                             "bootloader and lock"));
    boardButtons->addWidget(ui.burnButton);
    ui.boardLinesButton = Named(new QPushButton(QStringLiteral("Show Lines"), ui.fuseSettingsGroup), QStringLiteral("BoardLines"));
    ui.boardLinesButton->setToolTip(QStringLiteral("Show in the output the avrdude lines Burn Bootloader would run for this board, "
                                                   "or why it cannot run"));
    boardButtons->addWidget(ui.boardLinesButton);
    ui.uploadButton = Named(new QPushButton(QStringLiteral("Upload Setup"), ui.fuseSettingsGroup), QStringLiteral("BoardUpload"));
    ui.uploadButton->setToolTip(QStringLiteral("Set the programmer, speed and -D for a sketch upload through the board's bootloader"));
    boardButtons->addWidget(ui.uploadButton);
    inside->addLayout(boardButtons);
}

// A group of two columns of boxes, the second starting at `second`: with wider captions than the
// design's (the desktop's fonts) the second column moves right of the first and the group widens.
template <std::size_t N>
void FitColumns(QGroupBox *group, const std::array<QCheckBox *, N> &boxes, int second)
{
    int firstRight = 0, secondLeft = 0;
    for (const QCheckBox *box : boxes)
        if (box->x() < second)
            firstRight = std::max(firstRight, box->geometry().right() + 1);
        else
            secondLeft = secondLeft ? std::min(secondLeft, box->x()) : box->x();
    const int shift = std::max(0, firstRight + 2 - secondLeft);
    int right = firstRight;
    for (QCheckBox *box : boxes) {
        if (box->x() >= second)
            box->move(box->x() + shift, box->y());
        right = std::max(right, box->geometry().right() + 1);
    }
    group->resize(std::max(group->width(), right + 6), group->height());
}

void CreateOptions(Controls &ui, QWidget *w)
{
    ui.optionsGroup = MakeGroupBox(QStringLiteral("Options"), QStringLiteral("Options"), w, 3, 400, 460, 84);
    MakeTableBoxes(ui, compose::OptionTable, kOptionPlaces, ui.optionsGroup, ui.optionBoxes);
    FitColumns(ui.optionsGroup, ui.optionBoxes, kOptionPlaces[4].left);
    const int exitLeft = std::max(467, ui.optionsGroup->geometry().right() + 5);
    ui.exitModeGroup = MakeGroupBox(QStringLiteral("GroupBox9"), QStringLiteral("-E Exitmode"), w, exitLeft, 400, 156, 84);
    MakeTableBoxes(ui, compose::ExitModeTable, kExitModePlaces, ui.exitModeGroup, ui.exitModeBoxes);
    FitColumns(ui.exitModeGroup, ui.exitModeBoxes, kExitModePlaces[2].left);
}

void CreateBottom(Controls &ui, QWidget *w)
{
    MakeLabel(QStringLiteral("Command line:"), w, 4, 484);
    ui.commandLine = Named(Place(new QLineEdit(w), 3, 499, 485, 21), QStringLiteral("Edit3"));
    ui.executeButton = Named(Place(new QPushButton(QStringLiteral("Execute"), w), 495, 497, 127, 25),
                          QStringLiteral("BitBtn1"));
    ui.executeButton->setAutoDefault(true);  // Enter on the focused button clicks it, as on the original platform
}

void CreateOutput(Controls &ui, QWidget *w)
{
    ui.outputPane = Named(new widgets::OutputPane(w), QStringLiteral("Memo1"));
    ui.outputPane->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The window is disabled while a tool runs; its output stays as readable as ever.
    QPalette pane = ui.outputPane->palette();
    for (const auto role : {QPalette::Text, QPalette::Base, QPalette::WindowText})
        pane.setColor(QPalette::Disabled, role, pane.color(QPalette::Active, role));
    ui.outputPane->setPalette(pane);
    ui.runStrip = Named(new widgets::RunStrip(w), QStringLiteral("RunStrip1"));
}

// How much larger than the design's 11-pixel font the desktop's font is: the form grows with it.
double FontScale()
{
    const QFont font = QApplication::font();
    const double size = font.pointSizeF() > 0 ? font.pointSizeF() / 9.0 : font.pixelSize() / 12.0;
    return std::max(1.0, size);
}

// Every place of the form's controls `scale` times as far and as large.
void ScaleForm(QWidget *form, double scale)
{
    if (scale <= 1.0)
        return;
    for (QWidget *child : form->findChildren<QWidget *>()) {
        if (child->parentWidget() && child->parentWidget()->layout())
            continue;  // placed by a layout, not by the design
        const QRect g = child->geometry();
        child->setGeometry(qRound(g.x() * scale), qRound(g.y() * scale), qRound(g.width() * scale), qRound(g.height() * scale));
    }
}

// The form's controls as they read, top left to bottom right.
QList<QWidget *> FormOrder(const Controls &ui)
{
    QList<QWidget *> chain{ui.deviceBox,    ui.programmerBox, ui.portBox,     ui.extraOptions, ui.flashWrite,
                           ui.flashRead,    ui.flashVerify,   ui.flashFile,   ui.flashBrowse,  ui.flashFormat,
                           ui.eepromWrite,  ui.eepromRead,    ui.eepromVerify, ui.eepromFile,  ui.eepromBrowse,
                           ui.eepromFormat};
    for (const widgets::ByteEditor *editor : ui.byteEditors)
        chain << editor->tabChain();
    chain << ui.calibrationRead << ui.calibrationWrite << ui.calibrationField << ui.signatureRead << ui.signatureField
          << ui.detectButton;
    // Each group's boxes column by column, as they stand.
    for (QCheckBox *box : ui.optionBoxes)
        chain << box;
    for (QCheckBox *box : ui.exitModeBoxes)
        chain << box;
    chain << ui.commandLine << ui.executeButton;
    return chain;
}

// The widgets below `parent` that Tab can reach, row by row as they stand.
QList<QWidget *> ByPlace(QWidget *parent)
{
    QList<QWidget *> found;
    const auto inner = [parent](const QWidget *w) {  // a part of a control, as an editable box's line
        for (const QWidget *up = w->parentWidget(); up && up != parent; up = up->parentWidget())
            if (up->focusPolicy() & Qt::TabFocus)
                return true;
        return false;
    };
    for (QWidget *w : parent->findChildren<QWidget *>())
        if (w->focusPolicy() & Qt::TabFocus && !w->focusProxy() && !inner(w))
            found << w;
    const auto at = [parent](const QWidget *w) { return w->mapTo(parent, QPoint(0, 0)); };
    std::ranges::stable_sort(found, [&](const QWidget *a, const QWidget *b) {
        const QPoint pa = at(a), pb = at(b);
        return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
    });
    return found;
}

// The access keys (Alt and a letter) of the groups and buttons, each letter once in the window and
// none of the menu bar's (F, E, C, H); a group's key gives the focus to its first control.
struct AccessKey {
    const char *name;
    char letter;
};
constexpr AccessKey kAccessKeys[] = {
    {"GroupBox1", 'l'},     {"GroupBox2", 'm'},    {"GroupBox3", 'w'},      {"GroupBox4", 'g'},
    {"GroupBox5", 'k'},     {"GroupBox6", 'y'},    {"GroupBox7", 'i'},      {"GroupBox8", 'n'},
    {"Options", 'o'},       {"GroupBox9", 'x'},    {"BitBtn1", 't'},        {"ReadAllFuses", 'a'},
    {"ProgramChip", 'p'},   {"DetectButton", 'd'}, {"BurnBootloader", 'b'}, {"BoardUpload", 'u'},
    {"AddCoreFolder", 'r'}, {"FuseSettingsWrite", 's'}, {"BackToRead", 'v'},
};

// The caption with `letter` (its first occurrence after the leading option, "-E") marked as its access key.
QString WithAccessKey(const QString &caption, char letter)
{
    const qsizetype from = caption.startsWith(u'-') ? caption.indexOf(u' ') + 1 : 0;
    const qsizetype at = caption.indexOf(QChar::fromLatin1(letter), from, Qt::CaseInsensitive);
    return at < 0 ? caption : caption.left(at) + u'&' + caption.mid(at);
}

void SetAccessKeys(QWidget *window)
{
    for (const AccessKey &key : kAccessKeys) {
        const QString name = QString::fromLatin1(key.name);
        if (auto *group = window->findChild<QGroupBox *>(name))
            group->setTitle(WithAccessKey(group->title(), key.letter));
        else if (auto *button = window->findChild<QAbstractButton *>(name))
            button->setText(WithAccessKey(button->text(), key.letter));
    }
}

void SetTabOrder(const Controls &ui)
{
    // Qt's own chain in the same order: a group box's access key gives the focus to its first control.
    const QList<QWidget *> chain = FormOrder(ui);
    for (qsizetype i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}

}  // namespace


QList<QWidget *> ReadingOrder(const Controls &ui)
{
    QList<QWidget *> order = FormOrder(ui);
    // A control of the form the list above does not name still gets its turn, at the form's end.
    for (QWidget *w : ByPlace(ui.designForm))
        if (!order.contains(w))
            order << w;
    order << ByPlace(ui.fuseSettingsGroup) << ByPlace(ui.runStrip) << ui.outputPane;
    for (QWidget *w : ByPlace(ui.outputPane))  // its find bar
        if (w != ui.outputPane->viewport())
            order << w;
    return order;
}

compose::FormState Snapshot(const Controls &ui)
{
    compose::FormState s;
    s.device = ui.deviceBox->currentText();
    s.programmer = ui.programmerBox->currentText();
    s.port = ui.portBox->currentText();
    s.extraOptions = ui.extraOptions->text();
    s.flash = {ui.flashFile->text(), ui.flashFormat->currentText(), ui.flashWrite->isChecked(), ui.flashRead->isChecked(),
               ui.flashVerify->isChecked()};
    s.eeprom = {ui.eepromFile->text(), ui.eepromFormat->currentText(), ui.eepromWrite->isChecked(), ui.eepromRead->isChecked(),
                ui.eepromVerify->isChecked()};
    for (std::size_t row = 0; row < ui.optionBoxes.size(); ++row)
        s.options.*compose::OptionTable[row].member = ui.optionBoxes[row]->isChecked();
    for (std::size_t row = 0; row < ui.exitModeBoxes.size(); ++row)
        s.exitModes.*compose::ExitModeTable[row].member = ui.exitModeBoxes[row]->isChecked();
    s.uploadSpeed = ui.uploadSetting->property("speed").toString();
    return s;
}

}  // namespace window
