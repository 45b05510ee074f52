#include "window/board_view.h"

#include "boards/burn.h"
#include "fuses/byte_text.h"
#include "session/chip_session.h"
#include "widgets/controls.h"
#include "window/messages.h"

#include <QDir>
#include <QAbstractItemView>
#include <QFileDialog>
#include <QRegularExpression>
#include <QSignalBlocker>

namespace window {
namespace {

// The user's extra options with their baud rate (-b) replaced by `speed`, the rest as typed.
QString WithBaudRate(const QString &extra, const QString &speed)
{
    static const QRegularExpression baud(QStringLiteral("(^|\\s)-b\\s*\\S+"));
    QString rest = QString(extra).remove(baud).trimmed();
    if (speed.isEmpty())
        return rest;
    return (rest.isEmpty() ? QString() : rest + u' ') + QStringLiteral("-b ") + speed;
}

}  // namespace

BoardView::BoardView(const Controls &ui, session::ChipSession &session, QWidget *window)
    : QObject(window), ui_(ui), session_(session), window_(window)
{
    connect(ui_.boardBox, &QComboBox::activated, this, &BoardView::choose);
    connect(ui_.burnButton, &QPushButton::clicked, this, &BoardView::burn);
    connect(ui_.uploadButton, &QPushButton::clicked, this, &BoardView::useForUpload);
    connect(ui_.addCoreButton, &QPushButton::clicked, this, &BoardView::addCore);
}

void BoardView::load(const QString &coreFolder, const QString &selected)
{
    coreFolder_ = coreFolder;
    boards_ = boards::ReadBoards(boards::CoreFolders(QDir::homePath(), coreFolder.isEmpty() ? QStringList{} : QStringList{coreFolder}));
    const QSignalBlocker quiet(ui_.boardBox);
    ui_.boardBox->clear();
    ui_.boardBox->addItem(boards_.empty() ? QStringLiteral("(no Arduino core installed)") : QString());
    for (const boards::Board &b : boards_)
        ui_.boardBox->addItem(b.name, b.key());
    // The open list is as wide as its longest entry ("Arduino Mega or Mega 2560 (ATmega2560 (Mega 2560))").
    widgets::FitListToEntries(ui_.boardBox);
    const int at = ui_.boardBox->findData(selected);
    ui_.boardBox->setCurrentIndex(at > 0 ? at : 0);
    ui_.boardBox->setToolTip(boards_.empty()
                                 ? QStringLiteral("No Arduino core was found (Debian's arduino-core-avr, ~/.arduino15, "
                                                  "~/Arduino/hardware): add a core's folder with \"Add Core...\"")
                                 : QStringLiteral("%1 boards of the installed Arduino cores").arg(boards_.size()));
}

const boards::Board *BoardView::board() const
{
    const int index = ui_.boardBox->currentIndex();
    return index > 0 && index <= static_cast<int>(boards_.size()) ? &boards_[static_cast<std::size_t>(index - 1)] : nullptr;
}

void BoardView::choose()
{
    const boards::Board *b = board();
    if (!b)
        return;
    const compose::InstalledPart *part = session_.words().locatePart(b->mcu);
    if (!part) {
        ShowMessage(window_, MessageKind::Warning,
                    QStringLiteral("%1 is for the part \"%2\", which the installed avrdude does not know.").arg(b->name, b->mcu));
        return;
    }
    // The part's entry is picked, so that the choice is kept like one from the list.
    ui_.deviceBox->setEditText(part->name);
    ui_.deviceBox->setItemIndex(ui_.deviceBox->findText(part->name, Qt::MatchExactly | Qt::MatchCaseSensitive));
    // The board's values go to the editors, as if typed; nothing is written.
    const std::pair<const QString *, fuses::FuseByte> values[] = {{&b->lowFuses, fuses::FuseByte::Low},
                                                                  {&b->highFuses, fuses::FuseByte::High},
                                                                  {&b->extendedFuses, fuses::FuseByte::Extended},
                                                                  {&b->lockBits, fuses::FuseByte::Lock}};
    for (const auto &[text, byte] : values)
        if (const std::optional<int> value = fuses::ParseByteText(*text); value && ui_.byteEditor(byte)->isEnabled()) {
            ui_.byteEditor(byte)->setValue(static_cast<unsigned>(*value));
            ui_.fuseSettings->setValue(byte, static_cast<unsigned>(*value));  // the board's, even where it was 00
        }
}

void BoardView::burn()
{
    const boards::Board *b = board();
    if (!b) {
        ShowMessage(window_, MessageKind::Information, QStringLiteral("Choose a board first."));
        return;
    }
    const boards::BurnPlan plan = boards::PlanBurn(*b, Snapshot(ui_), session_.words());
    if (!plan.refusal.isEmpty()) {
        ShowMessage(window_, MessageKind::Warning, QStringLiteral("Nothing was run: %1.").arg(plan.refusal));
        return;
    }
    session_.burnBootloader(plan.lines, plan.captions, plan.clockQuestion);
}

void BoardView::useForUpload()
{
    const boards::Board *b = board();
    if (!b || b->protocol.isEmpty()) {
        ShowMessage(window_, MessageKind::Information,
                    b ? QStringLiteral("%1 names no upload protocol.").arg(b->name) : QStringLiteral("Choose a board first."));
        return;
    }
    // A core's text goes onto the command line only as one word and a number: anything else would
    // add options nobody chose ("57600 -U lock:w:0x00:m").
    static const QRegularExpression word(QStringLiteral("^[A-Za-z0-9_.+-]+$")), number(QStringLiteral("^[0-9]*$"));
    if (!word.match(b->protocol).hasMatch() || !number.match(b->speed).hasMatch()) {
        ShowMessage(window_, MessageKind::Warning,
                    QStringLiteral("%1 gives upload.protocol \"%2\" and upload.speed \"%3\": not a programmer id and a "
                                   "baud rate. Nothing was changed.")
                        .arg(b->name, b->protocol, b->speed));
        return;
    }
    // A sketch goes up through the bootloader: its protocol and speed, no chip erase.
    ui_.programmerBox->setEditText(b->protocol);
    ui_.extraOptions->setText(WithBaudRate(ui_.extraOptions->text(), b->speed));
    ui_.disableAutoEraseBox->setChecked(true);
    ui_.chipEraseBox->setChecked(false);  // a bootloader keeps itself: no erase
    ui_.flashWrite->setChecked(true);
    ui_.flashFile->setFocus();  // what is left to give: the sketch
}

void BoardView::addCore()
{
    const QString folder = QFileDialog::getExistingDirectory(window_, QStringLiteral("An Arduino core's folder (it holds boards.txt)"),
                                                             coreFolder_.isEmpty() ? QDir::homePath() : coreFolder_);
    if (folder.isEmpty())
        return;
    const QString selected = ui_.boardBox->currentData().toString();
    load(folder, selected);
    if (boards::CoreFolders(QDir::homePath(), {folder}).size() == boards::CoreFolders(QDir::homePath()).size())
        ShowMessage(window_, MessageKind::Warning, QStringLiteral("%1 holds no boards.txt, nor a folder that does.").arg(folder));
}

}  // namespace window
