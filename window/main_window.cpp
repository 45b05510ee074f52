#include "window/main_window.h"

#include "fuses/device_meanings.h"
#include "fuses/fuse_layout.h"
#include "runner/tool_run.h"
#include "runner/tool_query.h"
#include "window/board_view.h"
#include "window/program_view.h"
#include "window/memory_view.h"
#include "window/desktop.h"
#include "window/messages.h"
#include "window/run_lock.h"
#include "window/settings_view.h"

#include <QApplication>
#include <QScreen>
#include <ranges>
#include <QLayout>
#include <QVBoxLayout>
#include <QRegularExpression>
#include <QPlainTextEdit>
#include <QFontDatabase>
#include <QDialogButtonBox>
#include <QDialog>
#include <QCloseEvent>
#include <QMoveEvent>
#include <QResizeEvent>
#include <QDropEvent>
#include <QSplitter>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTimer>

#include <cstdio>

using widgets::ComboBox;
using widgets::MaskEdit;

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

MainWindow::MainWindow(WindowDeps deps, QWidget *parent)
    : QWidget(parent), deps_(std::move(deps)), session_(compose::Vocabulary(std::move(deps_.vocabulary)))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Fusewerk"));
    if (!deps_.openFile)
        deps_.openFile = [this](const QString &dir, const QString &filter) {
            return QFileDialog::getOpenFileName(this, QString(), dir, filter);
        };
    ui_ = window::MakeControls(this, session_.words(), deps_.listPorts());
    window::MenuHandlers handlers;
    handlers.quit = [this] { close(); };
    handlers.guide = [this] { ShowGuide(); };
    handlers.manual = [this] { ShowManual(); };
    handlers.about = [this] { ShowAbout(); };
    menus_ = window::MakeMenus(this, ui_, handlers);
    layout()->setMenuBar(menus_.bar);
    SetToolTips(ui_, session_.words());
    WrapToolTips();
    for (QGroupBox *row : {ui_.flashRow, ui_.eepromRow}) {
        row->setAcceptDrops(true);
        row->installEventFilter(this);
    }
    for (QLineEdit *file : {ui_.flashFile, ui_.eepromFile})
        file->setAcceptDrops(false);  // a dropped file goes to its row, not into the text
    WireEvents();
    WireSession();
    FormCreate();
}

MainWindow::~MainWindow()
{
    // A run still under way ends with the session, and reports to nobody.
    session_.disconnect(this);
}

void MainWindow::WireEvents()
{
    connect(ui_.deviceBox, &ComboBox::changed, this, &MainWindow::DeviceComboBoxChange);
    // A programmer changes the line alone (the session takes its read line from it).
    for (ComboBox *box : {ui_.programmerBox, ui_.portBox, ui_.flashFormat, ui_.eepromFormat})
        connect(box, &ComboBox::changed, this, &MainWindow::BuildCommandLine);
    for (QLineEdit *edit : {ui_.flashFile, ui_.eepromFile, ui_.extraOptions})
        connect(edit, &QLineEdit::textChanged, this, &MainWindow::BuildCommandLine);
    for (QCheckBox *box : {ui_.flashWrite, ui_.flashRead, ui_.flashVerify, ui_.eepromWrite, ui_.eepromRead, ui_.eepromVerify})
        connect(box, &QCheckBox::toggled, this, &MainWindow::BuildCommandLine);
    for (QCheckBox *box : ui_.optionBoxes)
        connect(box, &QCheckBox::toggled, this, &MainWindow::BuildCommandLine);
    for (std::size_t row = 0; row < ui_.exitModeBoxes.size(); ++row)
        connect(ui_.exitModeBoxes[row], &QCheckBox::toggled, this, [this, row] { ExitModeClick(row); });
    connect(ui_.flashBrowse, &QPushButton::clicked, this, [this] { BrowseInto(ui_.flashFile); });
    connect(ui_.eepromBrowse, &QPushButton::clicked, this, [this] { BrowseInto(ui_.eepromFile); });
    connect(ui_.executeButton, &QPushButton::clicked, this, &MainWindow::Execute);
    // Return in the command line runs it, as Execute does.
    connect(ui_.commandLine, &QLineEdit::returnPressed, ui_.executeButton, &QPushButton::click);
    connect(ui_.runStrip, &widgets::RunStrip::stopClicked, &session_, &session::ChipSession::stop);
    connect(ui_.runStrip, &widgets::RunStrip::wantedHeightChanged, this, &MainWindow::PlaceRunStrip);
    connect(ui_.runStrip, &widgets::RunStrip::showEndClicked, this, [this] {
        ui_.outputPane->showCaretAtEnd();
    });
    connect(ui_.outputPane, &widgets::OutputPane::saveFailed, this,
            [this](const QString &path) { ShowError(this, QStringLiteral("Unable to write to %1").arg(path)); });
    connect(ui_.outputPane, &widgets::OutputPane::copyTooLarge, this, [this](qint64 bytes) {
        if (AskQuestion(this,
                        QStringLiteral("The selection holds %1 MB, more than the clipboard should take (%2 MB). "
                                       "Save it to a file instead?")
                            .arg(QString::number(double(bytes) / (1 << 20), 'f', 1))
                            .arg(widgets::OutputPane::kClipboardBytes >> 20),
                        QStringLiteral("Save..."), QStringLiteral("Cancel")))
            ui_.outputPane->saveSelection();
    });
    // A board plugged in after start-up shows in the port list the next time it opens.
    connect(ui_.portBox, &ComboBox::popupAboutToShow, this,
            [this] { ui_.portBox->setItems(PortEntries()); });

    const auto invalid = [this] {
        ShowError(this, QStringLiteral("Invalid input value.  Use escape key to abandon changes"));
    };
    for (widgets::ByteEditor *editor : ui_.byteEditors) {
        const fuses::FuseByte byte = editor->byte();
        // A value that changes, by the user or by a read, rebuilds the main command line; the panel
        // shows what the byte means.
        connect(editor, &widgets::ByteEditor::valueChanged, this, [this, byte](unsigned value) {
            ui_.fuseSettings->setValue(byte, value);
            BuildCommandLine();
        });
        connect(editor, &widgets::ByteEditor::readRequested, &session_, [this, byte] { session_.readByte(byte); });
        connect(editor, &widgets::ByteEditor::writeRequested, &session_,
                [this, editor] { session_.writeByte(editor->byte(), editor->hexText()); });
        connect(editor, &widgets::ByteEditor::invalidInput, this, invalid);
        connect(editor, &widgets::ByteEditor::pasteRefused, this, [this](const QString &text) {
            ShowMessage(this, MessageKind::Warning,
                        QStringLiteral("\"%1\" is not one byte in hexadecimal (such as E1, 0xE1, $E1 or E1h): the "
                                       "value was left as it was.")
                            .arg(text.left(40)));
        });
    }
    connect(ui_.readAllButton, &QPushButton::clicked, &session_, &session::ChipSession::readAllFuses);
    boards_ = new window::BoardView(ui_, session_, this);
    connect(boards_, &window::BoardView::uploadSettingChanged, this, &MainWindow::BuildCommandLine);
    program_ = new window::ProgramDialog(ui_, session_, this);
    // Made when first opened: the start-up does not wait for it.
    connect(ui_.memoriesButton, &QPushButton::clicked, this, [this] {
        if (!memories_)
            memories_ = new window::MemoryDialog(ui_, session_, this);
        memories_->showPart();
        memories_->show();
        memories_->raise();
        memories_->activateWindow();
    });
    connect(ui_.programButton, &QPushButton::clicked, this, [this] {
        program_->show();
        program_->raise();
        program_->activateWindow();
        program_->showFile();
    });
    // The next serial number is kept at once: a crash must not give two boards the same one.
    connect(program_, &window::ProgramDialog::boardDone, this, [this] { KeepSettings(); });
    program_->setKeepSettings(&disk_, [this] { KeepSettings(); });
    // A setting chosen in the panel goes to its byte editor, whose boxes and fields follow.
    connect(ui_.fuseSettings, &widgets::FuseSettingsPanel::valueEdited, this,
            [this](fuses::FuseByte byte, unsigned value) { ui_.byteEditor(byte)->setValue(value); });
    connect(ui_.fuseSettings, &widgets::FuseSettingsPanel::defaultsRequested, this, [this] {
        if (const fuses::MeaningDevice *meanings = ui_.fuseSettings->meanings())
            for (const fuses::MeaningRegister &reg : fuses::Registers(*meanings))
                if (reg.byte) {
                    ui_.byteEditor(*reg.byte)->setValue(reg.initval);
                    ui_.fuseSettings->setValue(*reg.byte, reg.initval);  // set, even where it was 00 already
                }
    });
    connect(ui_.calibrationRead, &QPushButton::clicked, &session_, &session::ChipSession::readCalibration);
    connect(ui_.calibrationWrite, &QPushButton::clicked, &session_,
            [this] { session_.writeCalibration(ui_.calibrationField->maskedText()); });
    connect(ui_.signatureRead, &QPushButton::clicked, &session_, &session::ChipSession::readSignature);
    connect(ui_.detectButton, &QPushButton::clicked, &session_, &session::ChipSession::detect);
    connect(ui_.signatureField, &MaskEdit::changed, this, &MainWindow::SignatureChange);
    ui_.signatureField->extendMenu = [this](QMenu &menu) { SignatureMenu(menu); };
    for (MaskEdit *field : {ui_.calibrationField, ui_.signatureField})
        connect(field, &MaskEdit::leftIncomplete, this, invalid);
}

void MainWindow::WireSession()
{
    connect(&session_, &session::ChipSession::lineShown, ui_.commandLine, &QLineEdit::setText);
    connect(&session_, &session::ChipSession::runStateChanged, this, &MainWindow::RunStateChanged);
    // Output is appended at the end of the pane, which stays where it is (it does not scroll along),
    // and shown at a human rate rather than per read; the pane keeps its own bound, so memory stays
    // bounded whatever the tool prints.
    connect(&session_, &session::ChipSession::output, ui_.outputPane, &widgets::OutputPane::appendOutput);
    connect(&session_, &session::ChipSession::tick, this, [this](qint64 ms, int percent) {
        ui_.outputPane->flush();
        ui_.runStrip->tick(ms, percent);
    });
    connect(&session_, &session::ChipSession::stepStarted, ui_.runStrip, &widgets::RunStrip::setStep);
    connect(&session_, &session::ChipSession::byteRead, this,
            [this](fuses::FuseByte byte, unsigned value) {
                widgets::ByteEditor *editor = ui_.byteEditor(byte);
                const QString before = ui_.fuseSettings->isKnown(byte) ? editor->hexText() : QString();
                editor->setValue(value);
                ui_.fuseSettings->setValue(byte, value);  // read, even where the editor held it already
                ui_.fuseSettings->setChipValue(QString::fromLatin1(fuses::Row(byte).memory), value);
                QString what = QString::fromLatin1(fuses::Row(byte).what);
                what[0] = what[0].toUpper();
                Found(what, editor->hexText(), before, editor->hexField());
            });
    connect(&session_, &session::ChipSession::fuseRead, this, [this](const QString &memory, quint32 value) {
        QLineEdit *hex = ui_.fuseSettings->hexField(memory);
        const QString before = hex && ui_.fuseSettings->isKnown(memory) ? hex->text().toUpper() : QString();
        ui_.fuseSettings->setFuseValue(memory, value);
        ui_.fuseSettings->setChipValue(memory, value);
        Found(memory, hex ? hex->text().toUpper() : QString::number(value, 16).toUpper(), before, hex);
    });
    // What the chip holds after a write: the panel's changes are measured against it.
    connect(&session_, &session::ChipSession::written, this, [this](const QString &memory, const QByteArray &bytes) {
        quint32 value = 0;
        for (qsizetype k = bytes.size() - 1; k >= 0; --k)
            value = value << 8 | static_cast<quint8>(bytes[k]);
        ui_.fuseSettings->setChipValue(memory == QLatin1String("lockbits") ? QStringLiteral("lock") : memory, value);
    });
    connect(ui_.fuseSettings, &widgets::FuseSettingsPanel::changesWriteRequested, &session_, &session::ChipSession::writeFuses);
    connect(ui_.fuseSettings, &widgets::FuseSettingsPanel::fuseReadRequested, &session_, &session::ChipSession::readFuse);
    connect(ui_.fuseSettings, &widgets::FuseSettingsPanel::fuseWriteRequested, &session_, &session::ChipSession::writeFuse);
    connect(&session_, &session::ChipSession::bytesRead, this, [this](const QString &memory, const QString &text) {
        MaskEdit *field = memory == QLatin1String("calibration") ? ui_.calibrationField : ui_.signatureField;
        const QString before = field->maskedText();
        field->setMaskedText(text);
        if (text != QLatin1String("000000"))  // an emptied signature is no value read
            Found(memory == QLatin1String("calibration") ? QStringLiteral("Calibration") : QStringLiteral("Signature"), text,
                  before, field);
    });
    connect(&session_, &session::ChipSession::detected, this, [this](const QString &part, const QString &signature) {
        ui_.deviceBox->setEditText(part);
        ui_.signatureField->setMaskedText(signature);  // a device change resets it
    });
    connect(&session_, &session::ChipSession::told, this, [this](session::Notice kind, const QString &text) {
        // Stopped to close: what the stopped run did not bring is no news.
        if (!closeAfterRun_)
            ShowMessage(this, kind == session::Notice::Warning ? MessageKind::Warning : MessageKind::Information, text);
    });
    connect(&session_, &session::ChipSession::question, this, [this](const QString &text, bool *yes) {
        *yes = AskQuestion(this, text, QStringLiteral("Write anyway"), QStringLiteral("Cancel"));
    });
    connect(&session_, &session::ChipSession::replaceQuestion, this, [this](const QString &text, bool *yes) {
        *yes = AskQuestion(this, text, QStringLiteral("Replace"), QStringLiteral("Cancel"));
    });
    connect(&session_, &session::ChipSession::choice, this,
            [this](const QString &text, const QStringList &items, QString *picked) { *picked = ChooseOne(this, text, items); });
    connect(&session_, &session::ChipSession::runEnded, this, &MainWindow::ShowOutcome);
    // The session's own sentence for what the run found (Detect) says it better than the values would.
    connect(&session_, &session::ChipSession::outcomeChanged, this, [this](const QString &text, bool failed) {
        found_.clear();
        ui_.runStrip->finish(text, failed);
    });
    connect(&session_, &session::ChipSession::finished, this, [this] {
        // What the run read, said where the run's outcome stands: the value, and what was shown before.
        if (!found_.isEmpty() && !ui_.runStrip->failed())
            ui_.runStrip->finish(QStringLiteral("%1 (%2)").arg(found_.join(QStringLiteral("; ")), ui_.runStrip->text()), false);
        found_.clear();
        if (closeAfterRun_)  // the user asked to stop and close: the close goes on once the run is over
            QTimer::singleShot(0, this, &QWidget::close);
        emit runFinished();
    });
}

void MainWindow::BuildCommandLine()
{
    session_.setForm(window::Snapshot(ui_));
    ui_.commandLine->setText(session_.commandLine());
    // Whether the programmer can reach the part at all, said before anything runs.
    const compose::InstalledPart *part = session_.part();
    const compose::InstalledProgrammer *programmer = session_.words().findProgrammer(session_.form().programmer);
    const QString fit = part && programmer ? compose::ProgrammerFit(*part, *programmer) : QString();
    ui_.programmerFit->setVisible(!fit.isEmpty());
    ui_.programmerFit->setToolTip(fit);
    ui_.fuseSettings->setNotice(fit);
}

void MainWindow::FormCreate()
{
    // The bit boxes are made with their plain captions ("Bit 0" ... "Bit 7").
    BuildCommandLine();
    const settings::Saved saved = settings::Load(
        settings::SettingsPath(), settings::ReadLineProgrammers(session_.words().programmerList()));
    session_.setReadLineTable(saved.readLines);
    window::ShowSettings(ui_, saved);
    boards_->load(saved.coreFolder, saved.board, saved.boardOptions);
    for (const QString &image : saved.recentImages.split(u'|', Qt::SkipEmptyParts) | std::views::reverse)
        Remember(image);
    keptGeometry_ = saved.windowGeometry;
    RestoreGeometry(saved.windowGeometry);
    program_->load(saved);
    setWindowTitle(saved.caption);
    DeviceComboBoxChange();
    // What is plugged in, now and as it changes: a scan of sysfs takes a few milliseconds.
    ShowAttached();
    attachedPoll_ = new QTimer(this);
    attachedPoll_->setInterval(2000);
    connect(attachedPoll_, &QTimer::timeout, this, &MainWindow::ShowAttached);
    attachedPoll_->start();
}

QStringList MainWindow::PortEntries() const
{
    QStringList ports = deps_.listPorts();
    for (const QString &port : attachedPorts_)
        if (!ports.contains(port))
            ports << port;
    return compose::PortItems(ports);
}

void MainWindow::ShowAttached()
{
    const std::vector<attached::UsbDevice> devices = deps_.listUsb ? deps_.listUsb() : std::vector<attached::UsbDevice>{};
    QString key;
    for (const attached::UsbDevice &d : devices)
        key += QStringLiteral("%1:%2@%3.%4 %5;").arg(d.vendor).arg(d.product).arg(d.bus).arg(d.address).arg(d.ports.join(u','));
    if (key == attachedKey_ && attachedPoll_)
        return;
    attachedKey_ = key;
    const std::vector<attached::Found> found = attached::Match(devices, session_.words().installed().programmers, boards_->boards());
    QList<QPair<QString, QString>> leading;
    QHash<QString, QString> portNotes, portTips, programmerTips;
    QStringList programmers;
    attachedPorts_.clear();
    const attached::Found *board = nullptr;
    for (const attached::Found &f : found) {
        const QString closed = f.mayOpen ? QString() : QStringLiteral(", which you may not open (see its tooltip)");
        if (!f.programmers.isEmpty() && !programmers.contains(f.programmers.front())) {
            programmers << f.programmers.front();
            leading.append({f.programmers.front(), f.name() + QStringLiteral(", attached") + closed});
            if (!f.mayOpen)
                programmerTips.insert(f.programmers.front(), f.fix);
        }
        for (const QString &port : f.device.ports) {
            attachedPorts_ << port;
            portNotes.insert(port, (f.boards.empty() ? f.name() : f.boards.front().name) + closed);
            if (!f.mayOpen)
                portTips.insert(port, f.fix);
        }
        if (!f.boards.empty() && !board)
            board = &f;
        // Said once in the output, before avrdude fails on it.
        if (!f.mayOpen && !toldClosed_.contains(f.where())) {
            toldClosed_ << f.where();
            ui_.outputPane->appendOutput(f.name() + QStringLiteral(" is plugged in at %1, but ").arg(f.where()) + f.fix + u'\n');
            ui_.outputPane->flush();
        }
    }
    // Each programmer plugged in is a station Program Chip can use: a USB one by its serial number
    // (avrdude's -P usb:SERIAL), one behind a serial port by its port.
    std::vector<production::Station> stations;
    for (const attached::Found &f : found) {
        if (f.programmers.isEmpty())
            continue;
        const QString port = !f.device.ports.isEmpty() ? f.device.ports.front()
                             : f.device.serial.isEmpty() ? QStringLiteral("usb")
                                                         : QStringLiteral("usb:") + f.device.serial;
        stations.push_back({f.programmers.front(), port, {}, {}, {}});
    }
    program_->setAttached(std::move(stations));
    ui_.programmerBox->setLeading(leading);
    ui_.programmerBox->setNotes({}, programmerTips);
    ui_.portBox->setItems(PortEntries());
    ui_.portBox->setNotes(portNotes, portTips);
    for (ComboBox *box : {ui_.programmerBox, ui_.portBox})
        widgets::FitListToEntries(box);
    // Nothing chosen yet and one programmer plugged in: that one.
    if (programmers.size() == 1 && ui_.programmerBox->currentText().isEmpty()) {
        ui_.programmerBox->setEditText(programmers.front());
        const QSignalBlocker quiet(ui_.programmerBox);
        ui_.programmerBox->setCurrentIndex(0);  // the attached entry itself: the open list shows it
    }
    ui_.attachedBoardButton->setVisible(board != nullptr);
    ui_.attachedBoardButton->disconnect(this);
    if (board) {
        const attached::BoardOnPort b = board->boards.front();
        const QString port = board->device.ports.value(0);
        ui_.attachedBoardButton->setText(QStringLiteral("Use the %1 on %2").arg(b.name, port));
        ui_.attachedBoardButton->setToolTip(QStringLiteral("Choose the board %1 (%2), its upload setting and the port %3")
                                                .arg(b.name, b.fqbn, port));
        connect(ui_.attachedBoardButton, &QPushButton::clicked, this, [this, fqbn = b.fqbn, port] { boards_->chooseOnPort(fqbn, port); });
    }
}

settings::Saved MainWindow::SettingsNow() const
{
    settings::Saved saved = window::SettingsOf(ui_, windowTitle());
    saved.coreFolder = boards_->coreFolder();
    saved.boardOptions = boards_->optionsText();
    saved.recentImages = recent_.join(u'|');
    // Where it stands and how large it is (not its frame: the desktop puts that around it again),
    // once the user moved or resized it: a file nobody changed stays as it was.
    if (geometryChanged_ && !isMaximized() && !isFullScreen())
        saved.windowGeometry = QStringLiteral("%1,%2,%3,%4").arg(geometry().x()).arg(geometry().y()).arg(width()).arg(height());
    else
        saved.windowGeometry = keptGeometry_;
    program_->store(saved);
    return saved;
}

namespace {

production::DiskWriter::Write SettingsWrite(settings::Saved saved)
{
    const settings::OwnEntries own{static_cast<int>(compose::DesignDeviceList().size()),
                                   static_cast<int>(compose::DesignProgrammerList().size()),
                                   static_cast<int>(compose::PortList().size())};
    return [path = settings::SettingsPath(), saved = std::move(saved), own](QString *error) {
        if (settings::Save(path, saved, own))
            return true;
        *error = QStringLiteral("the settings file %1, where the serial numbers are kept, cannot be written").arg(path);
        return false;
    };
}

}  // namespace

void MainWindow::KeepSettings()
{
    disk_.keep(SettingsWrite(SettingsNow()));
}

bool MainWindow::SaveSettings()
{
    const QString path = settings::SettingsPath();
    // Through the disk's queue, after what was handed to it before: an older state never lands last.
    disk_.keep(SettingsWrite(SettingsNow()));
    if (disk_.flush())
        return true;
    // A file that stays unwritable (a folder of that name, a read-only file, a full disk) must not
    // keep the window from ever closing.
    if (ending_) {  // nobody to answer a box: said where a signal's sender may read it
        std::fprintf(stderr, "fusewerk: unable to write to %s\n", qPrintable(path));
        return false;
    }
    closeWithoutSaving_ =
        ShowErrorOffering(this, QStringLiteral("Unable to write to %1").arg(path), QStringLiteral("Close without saving"));
    return false;
}

void MainWindow::DeviceComboBoxChange()
{
    BuildCommandLine();
    ApplyFuseLayout();
    QGuiApplication::setApplicationDisplayName(ui_.deviceBox->currentText());
    if (program_ && program_->isVisible())
        program_->showFile();  // the file's values, or why it does not suit this part
    if (memories_ && memories_->isVisible())
        memories_->showPart();
}

// Reset and No Reset exclude each other, and so do Vcc and No Vcc.
void MainWindow::ExitModeClick(std::size_t row)
{
    if (ui_.exitModeBoxes[row]->isChecked())
        ui_.exitModeBoxes[compose::ExitModeTable[row].partner]->setChecked(false);
    BuildCommandLine();
}

void MainWindow::BrowseInto(QLineEdit *field)
{
    QString dir = DirectoryPart(field->text());
    if (dir.isEmpty())
        dir = runner::OwnDirectory() + QLatin1Char('/');
    const QString chosen = deps_.openFile(dir, kFileFilter);
    if (!chosen.isEmpty()) {
        field->setText(chosen);
        Remember(chosen);
    }
}

void MainWindow::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    geometryChanged_ = geometryChanged_ || (event->spontaneous() && isVisible());  // the user's, or the desktop's
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    geometryChanged_ = geometryChanged_ || (event->spontaneous() && isVisible());
}

bool MainWindow::focusNextPrevChild(bool next)
{
    QList<QWidget *> order = window::ReadingOrder(ui_);
    order.removeIf([](const QWidget *w) { return !w->isVisible() || !w->isEnabled() || !(w->focusPolicy() & Qt::TabFocus); });
    // The focus may rest inside a control (the line of an editable box).
    qsizetype at = -1;
    for (QWidget *w = QApplication::focusWidget(); w && at < 0; w = w->parentWidget())
        at = order.indexOf(w);
    if (at < 0 || order.isEmpty())
        return QWidget::focusNextPrevChild(next);
    QWidget *target = order[(at + (next ? 1 : order.size() - 1)) % order.size()];
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    // Scrolled into view where the form or the panel is larger than its area.
    for (QWidget *up = target->parentWidget(); up; up = up->parentWidget())
        if (auto *area = qobject_cast<QScrollArea *>(up))
            area->ensureWidgetVisible(target);
    return true;
}

void MainWindow::RestoreGeometry(const QString &kept)
{
    const QStringList n = kept.split(u',');
    const QRect was = n.size() == 4 ? QRect(n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt()) : QRect();
    // Where it was closed, when that is on a screen there now; as large as it was, within the screen.
    const QScreen *screen = nullptr;
    for (const QScreen *s : QGuiApplication::screens())
        if (was.isValid() && s->availableGeometry().intersects(was))
            screen = s;
    const QRect room = (screen ? screen : QGuiApplication::primaryScreen())->availableGeometry();
    QSize size = was.isValid() ? was.size() : this->size();
    size = size.boundedTo(room.size()).expandedTo(minimumSizeHint().boundedTo(room.size()));
    // The inside where it was: move() would put the frame there, and the window would creep down by
    // its title bar at every start.
    if (screen)
        setGeometry(QRect(was.topLeft(), size));
    else {
        resize(size);
        if (!room.contains(geometry()))
            move(room.topLeft());
    }
}

void MainWindow::Remember(const QString &image)
{
    recent_ = window::WithRecent(recent_, image);
    // A recent image goes back to its row: an EEPROM image by its name, any other to the flash.
    window::ShowRecent(menus_.recent, recent_, [this](const QString &path) {
        const bool eeprom = path.endsWith(QLatin1String(".eep"), Qt::CaseInsensitive);
        (eeprom ? ui_.eepromFile : ui_.flashFile)->setText(path);
        (eeprom ? ui_.eepromWrite : ui_.flashWrite)->setChecked(true);
        (eeprom ? ui_.eepromRead : ui_.flashRead)->setChecked(false);
        Remember(path);
    });
}

void MainWindow::ShowText(const QString &title, const QString &text)
{
    auto *dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("TextWindow"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(title);
    auto *view = new QPlainTextEdit(text, dialog);
    view->setReadOnly(true);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto *close = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    connect(close, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto *column = new QVBoxLayout(dialog);
    column->addWidget(view);
    column->addWidget(close);
    dialog->resize(760, 560);
    dialog->show();
}

void MainWindow::ShowGuide()
{
    // The README as the package installs it, or beside the program in its build or source tree.
    const QString own = runner::OwnDirectory();
    for (const QString &path : {QStringLiteral("/usr/share/doc/fusewerk/README.md"), own + QStringLiteral("/../share/doc/fusewerk/README.md"),
                                own + QStringLiteral("/README.md"), own + QStringLiteral("/../README.md")}) {
        QFile readme(path);
        if (readme.open(QIODevice::ReadOnly)) {
            ShowText(QStringLiteral("Fusewerk User Guide"), QString::fromUtf8(readme.read(1 << 20)));
            return;
        }
    }
    ShowMessage(this, MessageKind::Information,
                QStringLiteral("The user guide (README.md) is not installed beside the program nor in /usr/share/doc/fusewerk."));
}

void MainWindow::ShowManual()
{
    // As the man program renders it, without the terminal's bold and underline.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MANWIDTH"), QStringLiteral("100"));
    env.insert(QStringLiteral("MAN_KEEP_FORMATTING"), QString());
    const std::optional<QByteArray> text =
        runner::QueryTool(QStringLiteral("man"), {QStringLiteral("-P"), QStringLiteral("cat"), QStringLiteral("avrdude")}, 5000, env);
    QString manual = text ? QString::fromLocal8Bit(*text) : QString();
    static const QRegularExpression overstrike(QStringLiteral(".\\x08"));
    manual.remove(overstrike);
    if (manual.trimmed().isEmpty() || !manual.contains(QLatin1String("avrdude"))) {
        ShowMessage(this, MessageKind::Information, QStringLiteral("avrdude's manual page could not be shown (is man installed?)."));
        return;
    }
    ShowText(QStringLiteral("avrdude's Manual"), manual);
}

void MainWindow::ShowAbout()
{
    const compose::InstalledAvrdude &avrdude = session_.words().installed();
    QString version;
    if (!avrdude.program.isEmpty())
        if (const auto said = runner::QueryTool(avrdude.program, {QStringLiteral("-v")}, 2000))
            if (const qsizetype at = said->indexOf("Version "); at >= 0)
                version = QString::fromLocal8Bit(said->mid(at + 8, said->indexOf('\n', at) - at - 8)).trimmed();
    ShowMessage(this, MessageKind::Information,
                QStringLiteral("Fusewerk %1, a desktop front end for avrdude.\nQt %2.\navrdude: %3")
                    .arg(QCoreApplication::applicationVersion(), QString::fromLatin1(qVersion()),
                         avrdude.program.isEmpty() ? QStringLiteral("not found beside the program or on the PATH")
                                                   : QStringLiteral("%1, version %2").arg(avrdude.program, version.isEmpty() ? QStringLiteral("unknown") : version)));
}

void MainWindow::Execute()
{
    const QList<int> sizes = ui_.leftSplitter->sizes();
    if (!session_.execute(ui_.commandLine->text()))
        return;
    // The output takes the form's room while the tool runs, as the design enlarges it over the window.
    savedSplit_ = sizes;
    ui_.leftSplitter->setSizes({0, sizes.value(0) + sizes.value(1)});
}

void MainWindow::RunStateChanged(bool running)
{
    if (!running) {
        lock_.reset();  // the window takes input again at once
        return;
    }
    // RunLock: every control but the run strip disabled, Escape caught app-wide.
    lock_ = std::make_unique<RunLock>(this, ui_.runStrip);
    lock_->onEscape = [this] { session_.stop(); };
    ui_.runStrip->begin();
    ui_.outputPane->beginOutput();
}

void MainWindow::ShowOutcome(const session::Outcome &outcome)
{
    widgets::OutputPane *pane = ui_.outputPane;
    pane->flush();
    if (!outcome.notStarted.isEmpty())
        pane->showText(outcome.notStarted);
    ui_.runStrip->finish(outcome.text, outcome.failed);
    if (outcome.fromStart)
        pane->showCaretAtLine(0);  // a read's output shows from its start
    if (outcome.execute) {
        if (!savedSplit_.isEmpty())
            ui_.leftSplitter->setSizes(savedSplit_);
        savedSplit_.clear();
        // The caret goes to the start of line 15 when there is one; the view stays where it is.
        if (pane->lineCount() > 15)
            pane->setCaretToLine(15);
        if (outcome.verificationFailed) {
            PlayTone(1000, 200);
            ShowMessage(this, MessageKind::Warning, QStringLiteral("Verification Error"));
        }
    }
    // avrdude refused the chip's signature as another part's: the fix is one click away.
    if (!outcome.otherPart.isEmpty()) {
        ui_.runStrip->offer(QStringLiteral("Switch to %1").arg(outcome.otherPart));
        disconnect(ui_.runStrip, &widgets::RunStrip::offerClicked, this, nullptr);
        connect(ui_.runStrip, &widgets::RunStrip::offerClicked, this,
                [this, part = outcome.otherPart] { ui_.deviceBox->setEditText(part); });
    }
    // A failed run opens the pane at its first error line, marked.
    const qint64 errorLine = pane->findLine(outcome.firstError);
    pane->markLine(errorLine);
    if (errorLine >= 0)
        pane->showCaretAtLine(errorLine);
}

void MainWindow::Found(const QString &what, const QString &value, const QString &before, QWidget *field)
{
    found_ << (before.isEmpty() ? QStringLiteral("%1: %2, not shown before").arg(what, value)
               : before == value ? QStringLiteral("%1: %2, as shown").arg(what, value)
                                 : QStringLiteral("%1: %2, was %3").arg(what, value, before));
    if (!field)
        return;
    // Marked for a moment, so that the eye finds what the read brought.
    // A green band of the palette's own base: light on a light theme, dark on a dark one.
    const QColor band = widgets::Mixed(field->palette().color(QPalette::Base), widgets::kReadHue, 0.3);
    field->setStyleSheet(QStringLiteral("background-color: %1; color: %2;")
                             .arg(band.name(), widgets::ReadableOn(field->palette().color(QPalette::Text), band).name()));
    field->setProperty("justRead", true);
    QTimer::singleShot(1500, field, [field] {
        field->setStyleSheet(QString());
        field->setProperty("justRead", false);
    });
}

void MainWindow::PlaceRunStrip()
{
    // Along the bottom edge; a long outcome takes the lines it needs.
    ui_.runStrip->setFixedHeight(ui_.runStrip->wantedHeight());
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // A file dropped on the flash or EEPROM row sets that row's file name, as the browse button would.
    QLineEdit *field = watched == ui_.flashRow ? ui_.flashFile : watched == ui_.eepromRow ? ui_.eepromFile : nullptr;
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
    if (event->type() == QEvent::Drop) {
        field->setText(urls.front().toLocalFile());
        Remember(urls.front().toLocalFile());
        // A file dropped is a file to program: the row writes it, and reads nothing over it.
        const bool flash = field == ui_.flashFile;
        (flash ? ui_.flashRead : ui_.eepromRead)->setChecked(false);
        (flash ? ui_.flashWrite : ui_.eepromWrite)->setChecked(true);
    }
    return true;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // During a run the user says whether to stop it; the window then closes once the tool is gone,
    // so the program never ends with a tool still running.
    if (running()) {
        event->ignore();
        if (ending_) {
            closeAfterRun_ = true;
            session_.stop();
            return;
        }
        if (!closeAfterRun_ &&
            AskQuestion(this, QStringLiteral("avrdude is still running. Stop it and close?"),
                        QStringLiteral("Stop and close"), QStringLiteral("Cancel"))) {
            closeAfterRun_ = true;
            session_.stop();
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

void MainWindow::EndOnSignal()
{
    ending_ = true;
    close();
}

void MainWindow::ApplyFuseLayout()
{
    const QString device = ui_.deviceBox->currentText();
    const fuses::FuseLayout layout = fuses::LookupFuseLayout(device, session_.part());
    // A byte turned off shows 00; the panel is told below, and the command line holds no byte value.
    // A part with fuses of its own has no memory the editors' Reads and Writes name.
    const fuses::OwnFuses own = session_.ownFuses();
    for (widgets::ByteEditor *editor : ui_.byteEditors) {
        const QSignalBlocker quiet(editor);
        editor->setBitLayout(layout[editor->byte()]);
        editor->readButton()->setEnabled(!own.any());
        editor->writeButton()->setEnabled(!own.any());
    }
    // The panel follows the part, and shows what the editors hold; a part with fuses of its own
    // has them there, with what was last read of them from this part.
    if (own.any()) {
        ui_.fuseSettings->setOwnFuses(own, device);
        for (const fuses::FuseSection &section : own.sections)
            if (const fuses::LastRead last = session_.lastReads().value(section.memory);
                last.value && session_.part() && last.part == session_.part()->name)
                ui_.fuseSettings->setFuseValue(section.memory, *last.value);
    } else {
        ui_.fuseSettings->setDevice(fuses::FindMeanings(device), device);
        for (const widgets::ByteEditor *editor : ui_.byteEditors)
            ui_.fuseSettings->showValue(editor->byte(), editor->value());
    }
    // What the chip holds, as last read from this part; editing starts here.
    for (auto it = session_.lastReads().cbegin(); it != session_.lastReads().cend(); ++it)
        if (it->value && session_.part() && it->part == session_.part()->name)
            ui_.fuseSettings->setChipValue(it.key(), *it->value);
    ui_.fuseSettings->resetEdits();
    // A device of the table starts with an unread signature; any other text opens the calibration field.
    if (layout.inTable)
        ui_.signatureField->setMaskedText(QStringLiteral("000000"));
    else
        ui_.calibrationField->setEnabled(true);
}

void MainWindow::SignatureChange()
{
    const QStringList parts = session_.words().partsWithSignature(ui_.signatureField->maskedText());
    ui_.signaturePart->setText(parts.join(QStringLiteral(", ")));
    ui_.signatureField->setToolTip(
        parts.isEmpty() ? QString() : QStringLiteral("%1: %2").arg(ui_.signatureField->maskedText(), parts.join(QStringLiteral(", "))));
}

void MainWindow::SignatureMenu(QMenu &menu)
{
    const QStringList parts = session_.words().partsWithSignature(ui_.signatureField->maskedText());
    if (!parts.isEmpty())
        menu.addSeparator();
    // Picking a part is the user's change of the device box: everything follows as usual.
    for (const QString &part : parts)
        menu.addAction(QStringLiteral("Select %1 in the device box").arg(part), this,
                       [this, part] { ui_.deviceBox->setEditText(part); });
}
