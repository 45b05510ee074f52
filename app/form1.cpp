#include "app/form1.h"

#include "app/desktop.h"
#include "app/messages.h"
#include "compose/command_line.h"
#include "compose/vocabulary.h"
#include "runner/tool_run.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QFileDialog>
#include <QApplication>
#include <QGuiApplication>
#include <QTimer>

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

TForm1::TForm1(WindowDeps deps, QWidget *parent) : QWidget(parent), deps_(std::move(deps))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Fusewerk"));
    compose::SetInstalled(deps_.vocabulary);
    if (!deps_.openFile)
        deps_.openFile = [this](const QString &dir, const QString &filter) {
            return QFileDialog::getOpenFileName(this, QString(), dir, filter);
        };
    CreateControls();
    SetToolTips(*this);
    for (QGroupBox *row : {flashRow, eepromRow}) {
        row->setAcceptDrops(true);
        row->installEventFilter(this);
    }
    for (QLineEdit *file : {flashFile, eepromFile})
        file->setAcceptDrops(false);  // a dropped file goes to its row, not into the text
    WireEvents();
    FormCreate();
}

TForm1::~TForm1()
{
    // A run still under way ends with the window, and reports to nobody.
    if (run_)
        run_->disconnect(this);
    run_.reset();
}

void TForm1::WireEvents()
{
    const auto change = [this] { DeviceComboBoxChange(); };
    for (ComboBox *box : {deviceBox, portBox, flashFormat, eepromFormat})
        connect(box, &ComboBox::Change, this, change);
    for (QLineEdit *edit : {flashFile, eepromFile, extraOptions})
        connect(edit, &QLineEdit::textChanged, this, change);
    for (QCheckBox *box : {flashWrite, flashRead, flashVerify, eepromWrite, eepromRead, eepromVerify})
        connect(box, &QCheckBox::toggled, this, change);
    for (QCheckBox *box : optionBoxes)
        connect(box, &QCheckBox::toggled, this, change);
    for (std::size_t row = 0; row < exitModeBoxes.size(); ++row)
        connect(exitModeBoxes[row], &QCheckBox::toggled, this, [this, row] { ExitModeClick(row); });
    connect(programmerBox, &ComboBox::Change, this, &TForm1::ProgComboBoxChange);
    connect(flashBrowse, &QPushButton::clicked, this, [this] { BrowseInto(flashFile); });
    connect(eepromBrowse, &QPushButton::clicked, this, [this] { BrowseInto(eepromFile); });
    connect(executeButton, &QPushButton::clicked, this, &TForm1::Execute);
    connect(runStrip, &widgets::RunStrip::StopClicked, this, &TForm1::StopRun);
    connect(runStrip, &widgets::RunStrip::ShowEndClicked, this, &TForm1::ShowOutputEnd);
    connect(outputPane, &widgets::OutputPane::SaveFailed, this,
            [this](const QString &path) { ShowError(this, QStringLiteral("Unable to write to %1").arg(path)); });
    // A board plugged in after start-up shows in the port list the next time it opens.
    connect(portBox, &ComboBox::PopupAboutToShow, this,
            [this] { portBox->SetItems(compose::PortItems(deps_.listPorts())); });

    const auto invalid = [this] {
        ShowError(this, QStringLiteral("Invalid input value.  Use escape key to abandon changes"));
    };
    for (widgets::ByteEditor *editor : byteEditors) {
        const fuses::FuseByte byte = editor->byte();
        // A bit that changes, by the user or by a read, rebuilds the main command line; the panel
        // shows what the byte means.
        connect(editor, &widgets::ByteEditor::valueChanged, this, [this, byte](unsigned value) {
            fuseSettings->setValue(byte, value);
            BuildCommandLine(commandLine);
        });
        connect(editor, &widgets::ByteEditor::readRequested, this, [this, byte] { ReadFuseByte(byte); });
        connect(editor, &widgets::ByteEditor::writeRequested, this, [this, byte] { WriteFuseByte(byte); });
        connect(editor, &widgets::ByteEditor::invalidInput, this, invalid);
        connect(editor, &widgets::ByteEditor::pasteRefused, this, [this](const QString &text) {
            ShowMessage(this, MessageKind::Warning,
                        QStringLiteral("\"%1\" is not one byte in hexadecimal (such as E1, 0xE1, $E1 or E1h): the "
                                       "value was left as it was.")
                            .arg(text.left(40)));
        });
    }
    // A setting chosen in the panel goes to its byte editor, whose boxes and fields follow.
    connect(fuseSettings, &widgets::FuseSettingsPanel::valueEdited, this,
            [this](fuses::FuseByte byte, unsigned value) { byteEditor(byte)->setValue(value); });
    connect(fuseSettings, &widgets::FuseSettingsPanel::defaultsRequested, this, [this] {
        if (const fuses::MeaningDevice *meanings = fuseSettings->meanings())
            for (const fuses::MeaningRegister &reg : fuses::Registers(*meanings))
                byteEditor(reg.byte)->setValue(reg.initval);
    });
    connect(calibrationRead, &QPushButton::clicked, this, &TForm1::ReadCalibration);
    connect(calibrationWrite, &QPushButton::clicked, this, &TForm1::WriteCalibration);
    connect(signatureRead, &QPushButton::clicked, this, &TForm1::ReadSignature);
    connect(detectButton, &QPushButton::clicked, this, &TForm1::Detect);
    connect(signatureField, &MaskEdit::Change, this, &TForm1::SignatureChange);
    signatureField->extendMenu = [this](QMenu &menu) { SignatureMenu(menu); };
    for (MaskEdit *field : {calibrationField, signatureField})
        connect(field, &MaskEdit::InvalidOnLeave, this, invalid);
}

compose::FormState TForm1::Snapshot() const
{
    compose::FormState s;
    s.device = deviceBox->Text();
    s.programmer = programmerBox->Text();
    s.port = portBox->Text();
    s.extraOptions = extraOptions->text();
    s.flash = {flashFile->text(), flashFormat->Text(), flashWrite->isChecked(), flashRead->isChecked(),
               flashVerify->isChecked()};
    s.eeprom = {eepromFile->text(), eepromFormat->Text(), eepromWrite->isChecked(), eepromRead->isChecked(),
                eepromVerify->isChecked()};
    for (std::size_t row = 0; row < optionBoxes.size(); ++row)
        s.options.*compose::OptionTable[row].member = optionBoxes[row]->isChecked();
    for (std::size_t row = 0; row < exitModeBoxes.size(); ++row)
        s.exitModes.*compose::ExitModeTable[row].member = exitModeBoxes[row]->isChecked();
    return s;
}

void TForm1::BuildCommandLine(QLineEdit *target) { target->setText(compose::BuildCommandLine(Snapshot())); }

void TForm1::FormCreate()
{
    // The bit boxes are made with their plain captions ("Bit 0" ... "Bit 7").
    BuildCommandLine(commandLine);
    LoadSettings();
    ProgComboBoxChange();
}

void TForm1::DeviceComboBoxChange()
{
    ApplyFuseLayout();
    BuildCommandLine(commandLine);
    QGuiApplication::setApplicationDisplayName(deviceBox->Text());
}

// Reset and No Reset exclude each other, and so do Vcc and No Vcc.
void TForm1::ExitModeClick(std::size_t row)
{
    if (exitModeBoxes[row]->isChecked())
        exitModeBoxes[compose::ExitModeTable[row].partner]->setChecked(false);
    BuildCommandLine(commandLine);
}

void TForm1::BrowseInto(QLineEdit *field)
{
    QString dir = DirectoryPart(field->text());
    if (dir.isEmpty())
        dir = runner::OwnDirectory() + QLatin1Char('/');
    const QString chosen = deps_.openFile(dir, kFileFilter);
    if (!chosen.isEmpty())
        field->setText(chosen);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    // A file dropped on the flash or EEPROM row sets that row's file name, as the browse button would.
    QLineEdit *field = watched == flashRow ? flashFile : watched == eepromRow ? eepromFile : nullptr;
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

void TForm1::SetPaneBounds(int top, int height)
{
    outputPane->setGeometry(3, top, 622, height);
    paneBottomGap_ = this->height() - (top + height);
}

void TForm1::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Anchored left, top and bottom: the pane grows and shrinks with the window's height; the run
    // strip keeps to the bottom edge.
    outputPane->resize(outputPane->width(), std::max(0, height() - paneBottomGap_ - outputPane->y()));
    runStrip->setGeometry(0, height() - widgets::RunStrip::kHeight, width(), widgets::RunStrip::kHeight);
    fuseSettingsGroup->resize(fuseSettingsGroup->width(),
                              std::max(0, height() - widgets::RunStrip::kHeight - fuseSettingsGroup->y() - 3));
}

void TForm1::closeEvent(QCloseEvent *event)
{
    // During a run the user says whether to stop it; the window then closes once the tool is gone,
    // so the program never ends with a tool still running.
    if (Running()) {
        event->ignore();
        if (ending_) {
            closeAfterRun_ = true;
            StopRun();
            return;
        }
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
    if (ending_) {
        // Told to end: the settings are saved when they can be, and the program ends either way.
        SaveSettings();
        event->accept();
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        return;
    }
    if (SaveSettings() || closeWithoutSaving_)
        event->accept();
    else
        event->ignore();
}

void TForm1::EndOnSignal()
{
    ending_ = true;
    close();
}
