#include "app/form1.h"

#include "app/desktop.h"
#include "app/installed_avrdude.h"
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
    compose::SetInstalled(QueryInstalledAvrdude());
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

void TForm1::WireEvents()
{
    const auto change = [this] { DeviceComboBoxChange(); };
    for (ComboBox *box : {DeviceComboBox, PortComboBox, ComboBox4, ComboBox5})
        connect(box, &ComboBox::Change, this, change);
    for (QLineEdit *edit : {Edit1, Edit2, Edit4})
        connect(edit, &QLineEdit::textChanged, this, change);
    for (QCheckBox *box : {FlashWrite, FlashRead, FlashVerify, EEPROMWrite, EEPROMRead, EEPROMVerify})
        connect(box, &QCheckBox::toggled, this, change);
    for (QCheckBox *box : optionBoxes)
        connect(box, &QCheckBox::toggled, this, change);
    for (std::size_t row = 0; row < exitModeBoxes.size(); ++row)
        connect(exitModeBoxes[row], &QCheckBox::toggled, this, [this, row] { ExitModeClick(row); });
    connect(ProgComboBox, &ComboBox::Change, this, &TForm1::ProgComboBoxChange);
    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    connect(RunStrip1, &widgets::RunStrip::StopClicked, this, &TForm1::StopRun);
    connect(Memo1, &widgets::OutputPane::SaveFailed, this,
            [this](const QString &path) { ShowError(this, QStringLiteral("Unable to write to %1").arg(path)); });
    // A board plugged in after start-up shows in the port list the next time it opens.
    connect(PortComboBox, &ComboBox::PopupAboutToShow, this,
            [this] { PortComboBox->SetItems(compose::PortItems(ListSerialPorts())); });
    connect(RunStrip1, &widgets::RunStrip::ShowEndClicked, this, &TForm1::ShowOutputEnd);

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
        const widgets::FuseGroup &group = groups[g];
        connect(group.hex, &MaskEdit::Change, this, hexChange[g]);
        connect(group.bin, &MaskEdit::Change, this, binChange[g]);
        group.bin->keyPress = &TForm1::MaskEdit31KeyPress;
        connect(group.read, &QPushButton::clicked, this, readClick[g]);
        connect(group.write, &QPushButton::clicked, this, writeClick[g]);
        for (int k = 0; k < 8; ++k)
            connect(group.bits[k], &QCheckBox::toggled, this, [this, g, k] { CheckBoxClick(g + 3, k); });
    }
    connect(SpeedButton5, &QPushButton::clicked, this, &TForm1::SpeedButton5Click);
    connect(SpeedButton6, &QPushButton::clicked, this, &TForm1::SpeedButton6Click);
    connect(SpeedButton11, &QPushButton::clicked, this, &TForm1::SpeedButton11Click);
    connect(MaskEdit80, &MaskEdit::Change, this, &TForm1::MaskEdit80Change);
    MaskEdit80->extendMenu = [this](QMenu &menu) { SignatureMenu(menu); };
    for (MaskEdit *field : {MaskEdit30, MaskEdit40, MaskEdit50, MaskEdit60, MaskEdit70, MaskEdit80})
        connect(field, &MaskEdit::InvalidOnLeave, this, [this] {
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
    for (std::size_t row = 0; row < optionBoxes.size(); ++row)
        s.*compose::OptionTable[row].member = optionBoxes[row]->isChecked();
    for (std::size_t row = 0; row < exitModeBoxes.size(); ++row)
        s.*compose::ExitModeTable[row].member = exitModeBoxes[row]->isChecked();
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
void TForm1::ExitModeClick(std::size_t row)
{
    if (exitModeBoxes[row]->isChecked())
        exitModeBoxes[compose::ExitModeTable[row].partner]->setChecked(false);
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
    // Anchored left, top and bottom: the pane grows and shrinks with the window's height; the run
    // strip keeps to the bottom edge.
    Memo1->resize(Memo1->width(), std::max(0, height() - memoBottomGap_ - Memo1->y()));
    RunStrip1->setGeometry(0, height() - widgets::RunStrip::kHeight, width(), widgets::RunStrip::kHeight);
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // During a run the user says whether to stop it; the window then closes once the tool is gone,
    // so the program never ends with a tool still running.
    if (running_) {
        event->ignore();
        if (!closeAfterRun_ &&
            AskQuestion(this, QStringLiteral("avrdude is still running. Stop it and close?"),
                        QStringLiteral("Stop and close"), QStringLiteral("Cancel"))) {
            closeAfterRun_ = true;
            StopRun();
        }
        return;
    }
    closeAfterRun_ = false;
    closeWithoutSaving_ = false;
    if (SaveSettings() || closeWithoutSaving_)
        event->accept();
    else
        event->ignore();
}
