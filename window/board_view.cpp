#include "window/board_view.h"

#include "compose/installed.h"
#include "fuses/byte_text.h"
#include "session/chip_session.h"
#include "widgets/controls.h"
#include "widgets/output_pane.h"
#include "widgets/run_strip.h"
#include "window/messages.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QStandardItemModel>

namespace window {
namespace {

constexpr int kBoardRole = Qt::UserRole + 1;  // the board's place in the list of boards
const QString kMark = QStringLiteral("\u26A0 ");

boards::Options OptionsOf(const QString &text)
{
    boards::Options out;
    for (const QString &pair : text.split(u',', Qt::SkipEmptyParts))
        out.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    return out;
}

}  // namespace

BoardView::BoardView(const Controls &ui, session::ChipSession &session, QWidget *window)
    : QObject(window), ui_(ui), session_(session), window_(window)
{
    connect(ui_.boardBox, &QComboBox::activated, this, &BoardView::pick);
    // A pick from the filter list is a pick from the list.
    connect(ui_.boardBox->completer(), qOverload<const QModelIndex &>(&QCompleter::activated), this, [this](const QModelIndex &index) {
        const int row = ui_.boardBox->findData(index.data(Qt::UserRole));
        if (row > 0) {
            ui_.boardBox->setCurrentIndex(row);
            pick(row);
        }
    });
    // One board, one part: a device changed by hand to another part sets the board aside; another
    // programmer ends the board's upload setting.
    connect(ui_.deviceBox, &QComboBox::editTextChanged, this, [this](const QString &device) {
        if (!applying_ && board() && !part_.isEmpty() && device != part_)
            setAside(device);
    });
    connect(ui_.programmerBox, &QComboBox::editTextChanged, this, [this](const QString &programmer) {
        if (!protocol_.isEmpty() && programmer != protocol_)
            endUpload();
    });
    connect(ui_.burnButton, &QPushButton::clicked, this, &BoardView::burn);
    connect(ui_.boardLinesButton, &QPushButton::clicked, this, &BoardView::showLines);
    connect(ui_.uploadButton, &QPushButton::clicked, this, &BoardView::useForUpload);
    connect(ui_.addCoreButton, &QPushButton::clicked, this, &BoardView::addCore);
}

void BoardView::load(const QString &coreFolder, const QString &selected, const QString &options)
{
    coreFolder_ = coreFolder;
    boards_ = boards::ReadBoards(boards::CoreFolders(QDir::homePath(), coreFolder.isEmpty() ? QStringList{} : QStringList{coreFolder}));
    const QSignalBlocker quiet(ui_.boardBox);
    ui_.boardBox->clear();
    ui_.boardBox->addItem(boards_.empty() ? QStringLiteral("(no Arduino core installed)") : QString());
    auto *model = qobject_cast<QStandardItemModel *>(ui_.boardBox->model());
    rowOf_.assign(boards_.size(), -1);
    QString core;
    for (std::size_t i = 0; i < boards_.size(); ++i) {
        const boards::Board &b = boards_[i];
        if (b.core->folder != core) {
            // Each core's boards under its name, as the IDE's menu groups them.
            core = b.core->folder;
            ui_.boardBox->addItem(QStringLiteral("\u2014 %1 (%2) \u2014").arg(b.core->name, b.core->folder));
            if (model)
                model->item(ui_.boardBox->count() - 1)->setFlags(Qt::NoItemFlags);
        }
        ui_.boardBox->addItem(b.name, b.fqbn());
        ui_.boardBox->setItemData(ui_.boardBox->count() - 1, static_cast<int>(i), kBoardRole);
        rowOf_[i] = ui_.boardBox->count() - 1;
    }
    // The boards that cannot be burnt are marked once the window stands: start-up waits for none
    // of their images to be read.
    QMetaObject::invokeMethod(this, &BoardView::markBoards, Qt::QueuedConnection);
    widgets::FitListToEntries(ui_.boardBox);
    const boards::Found found = boards::FindBoard(boards_, selected);
    const int at = found.board ? rowOf_[static_cast<std::size_t>(found.board - boards_.data())] : 0;
    ui_.boardBox->setCurrentIndex(at);
    options_ = found.board ? found.board->withDefaults(OptionsOf(options).isEmpty() ? found.options : OptionsOf(options)) : boards::Options{};
    const compose::InstalledPart *part = found.board ? session_.words().locatePart(boards::Settle(*found.board, options_).mcu) : nullptr;
    part_ = part ? part->name : QString();
    ui_.boardBox->setToolTip(boards_.empty()
                                 ? QStringLiteral("No Arduino core was found (Debian's arduino-core-avr, ~/.arduino15, "
                                                  "~/Arduino/hardware): add a core's folder with \"Add Core...\"")
                                 : QStringLiteral("%1 boards of the installed Arduino cores; type to filter them").arg(boards_.size()));
    showMenus();
    showStatus();
}

void BoardView::markBoards()
{
    // Each board that cannot be burnt as it comes (its menus at their first options) is marked, and
    // says why.
    const compose::FormState target = Snapshot(ui_);
    for (std::size_t i = 0; i < boards_.size(); ++i) {
        const boards::BurnPlan p = boards::PlanBurn(boards_[i], {}, target, session_.words());
        if (p.refusal.isEmpty() || p.refusal.contains(QLatin1String("is itself a bootloader")))
            continue;  // a programmer of the window's is not the board's
        ui_.boardBox->setItemText(rowOf_[i], kMark + boards_[i].name);
        ui_.boardBox->setItemData(rowOf_[i], QStringLiteral("Burn Bootloader cannot run: %1").arg(p.refusal), Qt::ToolTipRole);
    }
    widgets::FitListToEntries(ui_.boardBox);
}

const boards::Board *BoardView::board() const
{
    const QVariant place = ui_.boardBox->itemData(ui_.boardBox->currentIndex(), kBoardRole);
    if (!place.isValid() || place.toInt() < 0 || place.toInt() >= static_cast<int>(boards_.size()))
        return nullptr;
    return &boards_[static_cast<std::size_t>(place.toInt())];
}

boards::BurnPlan BoardView::plan() const
{
    const boards::Board *b = board();
    return b ? boards::PlanBurn(*b, options_, Snapshot(ui_), session_.words()) : boards::BurnPlan{};
}

void BoardView::chooseOnPort(const QString &fqbn, const QString &port)
{
    for (std::size_t i = 0; i < boards_.size(); ++i)
        if (boards_[i].fqbn() == fqbn && rowOf_[i] > 0) {
            ui_.boardBox->setCurrentIndex(rowOf_[i]);
            pick(rowOf_[i]);
            useForUpload();
            ui_.portBox->setEditText(port);
            return;
        }
}

void BoardView::pick(int)
{
    const boards::Board *b = board();
    options_ = b ? b->withDefaults() : boards::Options{};
    part_.clear();
    endUpload();
    showMenus();
    apply();
}

void BoardView::setAside(const QString &device)
{
    const boards::Board *b = board();
    const QString was = b ? b->label(options_) : QString();
    const QSignalBlocker quiet(ui_.boardBox);
    ui_.boardBox->setCurrentIndex(0);
    options_.clear();
    endUpload();
    showMenus();
    showStatus();
    ui_.runStrip->finish(QStringLiteral("The board %1 is set aside: it is for the %2, and the device is now %3.")
                             .arg(was, part_, device.isEmpty() ? QStringLiteral("none") : device),
                         false);
    part_.clear();
}

void BoardView::endUpload()
{
    if (protocol_.isEmpty())
        return;
    protocol_.clear();
    ui_.uploadSetting->setProperty("speed", QString());
    ui_.uploadSetting->hide();
    emit uploadSettingChanged();
}

void BoardView::showMenus()
{
    // The previous board's menus go; the new board's take their places, two to a row.
    for (QWidget *old : ui_.boardMenus->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        delete old;
    auto *grid = qobject_cast<QGridLayout *>(ui_.boardMenus->layout());
    const boards::Board *b = board();
    ui_.boardMenus->setVisible(b && !b->menus.empty());  // no empty row where a board has no menus
    if (!b || !grid)
        return;
    int place = 0;
    for (const boards::Menu &menu : b->menus) {
        auto *caption = new QLabel(menu.caption + u':', ui_.boardMenus);
        auto *box = new QComboBox(ui_.boardMenus);
        box->setObjectName(QStringLiteral("BoardMenu_") + menu.id);
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(8);
        for (const boards::MenuOption &o : menu.options)
            box->addItem(o.caption, o.id);
        box->setCurrentIndex(std::max(0, box->findData(options_.value(menu.id))));
        widgets::FitListToEntries(box);
        caption->setBuddy(box);
        grid->addWidget(caption, place / 2, (place % 2) * 2);
        grid->addWidget(box, place / 2, (place % 2) * 2 + 1);
        ++place;
        connect(box, &QComboBox::activated, this, [this, box, id = menu.id] {
            options_.insert(id, box->currentData().toString());
            apply();
        });
    }
}

void BoardView::showStatus()
{
    const boards::Board *b = board();
    const boards::BurnPlan p = plan();
    const QString why = b && !p.refusal.isEmpty() ? QStringLiteral("Burn Bootloader cannot run: %1.").arg(p.refusal) : QString();
    ui_.boardStatus->setText(why);
    ui_.boardStatus->setVisible(!why.isEmpty());
    ui_.burnButton->setToolTip(why.isEmpty() ? QStringLiteral("With this programmer: erase and write the board's fuses, then its "
                                                              "bootloader and lock")
                                             : why);
}

void BoardView::apply()
{
    showStatus();
    const boards::Board *b = board();
    if (!b)
        return;
    const boards::Setting s = boards::Settle(*b, options_);
    const compose::InstalledPart *part = session_.words().locatePart(s.mcu);
    if (!part) {
        ShowMessage(window_, MessageKind::Warning,
                    QStringLiteral("%1 is for the part \"%2\", which the installed avrdude does not know.").arg(b->label(options_), s.mcu));
        return;
    }
    // The part's entry is picked, so that the choice is kept like one from the list.
    part_ = part->name;
    if (ui_.deviceBox->currentText() != part->name) {
        applying_ = true;
        ui_.deviceBox->setEditText(part->name);
        ui_.deviceBox->setItemIndex(ui_.deviceBox->findText(part->name, Qt::MatchExactly | Qt::MatchCaseSensitive));
        applying_ = false;
    }
    // What the burn would write goes to the editors and the panel, as if typed; nothing is written.
    const boards::BurnPlan p = plan();
    QHash<QString, QByteArray> values = boards::BurnValues(p.words);
    if (p.words.empty()) {
        const std::pair<const QString *, const char *> given[] = {
            {&s.lowFuses, "lfuse"}, {&s.highFuses, "hfuse"}, {&s.extendedFuses, "efuse"}, {&s.lockBits, "lock"}};
        for (const auto &[text, memory] : given)
            if (const std::optional<unsigned> v = boards::BoardByte(*text))
                values.insert(QLatin1String(memory), QByteArray(1, static_cast<char>(*v)));
    }
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const compose::PartMemory *memory = compose::LocateMemory(*part, it.key());
        if (!memory)
            continue;
        const auto row = std::ranges::find_if(fuses::FuseByteTable, [&](const auto &r) { return memory->name == QLatin1String(r.memory); });
        if (ui_.fuseSettings->ownFuses() || row == std::end(fuses::FuseByteTable)) {
            quint32 value = 0;
            for (qsizetype k = it.value().size() - 1; k >= 0; --k)
                value = value << 8 | static_cast<quint8>(it.value()[k]);
            ui_.fuseSettings->setFuseValue(memory->name, value);
        } else if (ui_.byteEditor(row->byte)->isEnabled()) {
            const unsigned value = static_cast<quint8>(it.value()[0]);
            ui_.byteEditor(row->byte)->setValue(value);
            ui_.fuseSettings->setValue(row->byte, value);  // the board's, even where it was 00
        }
    }
    // The board's values, not the chip's: said, with the way back.
    if (p.refusal.isEmpty())
        ui_.runStrip->finish(QStringLiteral("The editors show what Burn Bootloader would write for %1, not the chip's values; "
                                            "nothing was written (\"Back to the values read\" brings back the chip's).")
                                 .arg(b->label(options_)),
                             false);
}

void BoardView::burn()
{
    const boards::Board *b = board();
    if (!b) {
        ShowMessage(window_, MessageKind::Information, QStringLiteral("Choose a board first."));
        return;
    }
    const boards::BurnPlan p = plan();
    if (!p.refusal.isEmpty()) {
        ShowMessage(window_, MessageKind::Warning, QStringLiteral("Nothing was run: %1.").arg(p.refusal));
        return;
    }
    session_.burnBootloader(p.lines, p.captions, p.clockQuestion, p.board);
}

void BoardView::showLines()
{
    const boards::Board *b = board();
    if (!b) {
        ShowMessage(window_, MessageKind::Information, QStringLiteral("Choose a board first."));
        return;
    }
    const boards::BurnPlan p = plan();
    QString text = QStringLiteral("Burn Bootloader for %1%2:\n").arg(p.board, p.recipe ? QStringLiteral(", the core's own recipe") : QString());
    for (qsizetype i = 0; i < p.lines.size(); ++i)
        text += QStringLiteral("%1. %2\n   %3\n").arg(i + 1).arg(p.captions.value(i), p.lines[i]);
    if (!p.refusal.isEmpty())
        text += QStringLiteral("It cannot run: %1.\n").arg(p.refusal);
    ui_.outputPane->showText(text);
}

void BoardView::useForUpload()
{
    const boards::Board *b = board();
    const boards::Setting s = b ? boards::Settle(*b, options_) : boards::Setting{};
    if (!b || s.protocol.isEmpty()) {
        ShowMessage(window_, MessageKind::Information,
                    b ? QStringLiteral("%1 names no upload protocol.").arg(b->label(options_)) : QStringLiteral("Choose a board first."));
        return;
    }
    // A core's text goes onto the command line only as one word and a number: anything else would
    // add options nobody chose ("57600 -U lock:w:0x00:m").
    static const QRegularExpression word(QStringLiteral("^[A-Za-z0-9_.+-]+$")), number(QStringLiteral("^[0-9]*$"));
    if (!word.match(s.protocol).hasMatch() || !number.match(s.speed).hasMatch()) {
        ShowMessage(window_, MessageKind::Warning,
                    QStringLiteral("%1 gives upload.protocol \"%2\" and upload.speed \"%3\": not a programmer id and a "
                                   "baud rate. Nothing was changed.")
                        .arg(b->label(options_), s.protocol, s.speed));
        return;
    }
    // A sketch goes up through the bootloader: its protocol, and its speed and -D as the board's
    // upload setting, in force until another programmer or board is chosen; the extra options stay
    // as the user typed them (a -b there wins, as the last -b does).
    ui_.programmerBox->setEditText(s.protocol);
    protocol_ = s.protocol;
    ui_.uploadSetting->setProperty("speed", s.speed.isEmpty() ? QStringLiteral("115200") : s.speed);
    ui_.uploadSetting->setText(QStringLiteral("Upload setting of %1: -c %2 -b %3 -D, a sketch through its bootloader. "
                                              "It ends when another programmer or board is chosen.")
                                   .arg(b->label(options_), s.protocol, ui_.uploadSetting->property("speed").toString()));
    ui_.uploadSetting->show();
    emit uploadSettingChanged();
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
    const QString options = optionsText();
    load(folder, selected, options);
    if (boards::CoreFolders(QDir::homePath(), {folder}).size() == boards::CoreFolders(QDir::homePath()).size())
        ShowMessage(window_, MessageKind::Warning, QStringLiteral("%1 holds no boards.txt, nor a folder that does.").arg(folder));
}

}  // namespace window
