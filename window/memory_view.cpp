#include "window/memory_view.h"

#include "images/image_writers.h"
#include "session/chip_session.h"

#include <QSaveFile>

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRegularExpression>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

namespace window {

void MemoryModel::setBytes(const QByteArray &bytes, bool editable)
{
    beginResetModel();
    bytes_ = chip_ = bytes;
    editable_ = editable;
    edits_.clear();
    done_ = 0;
    image_ = {};
    differs_.clear();
    endResetModel();
}

void MemoryModel::setImage(const images::MemoryFile &image, const images::Comparison &comparison)
{
    image_ = image;
    differs_.assign(std::size_t(bytes_.size()), false);
    for (const images::DiffRange &r : comparison.ranges)
        for (qint64 i = r.start; i < r.end && i < bytes_.size(); ++i)
            differs_[std::size_t(i)] = true;
    emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

qint64 MemoryModel::changed() const
{
    qint64 n = 0;
    for (qsizetype i = 0; i < bytes_.size(); ++i)
        n += bytes_[i] != chip_[i] ? 1 : 0;
    return n;
}

Qt::ItemFlags MemoryModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (editable_ && qint64(index.row()) * 16 + (index.column() == kText ? 0 : index.column()) < bytes_.size())
        f |= Qt::ItemIsEditable;
    return f;
}

void MemoryModel::Put(qint64 at, char value)
{
    bytes_[at] = value;
    const QModelIndex cell = index(int(at / 16), int(at % 16));
    emit dataChanged(cell, index(cell.row(), kText));
    emit edited();
}

bool MemoryModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const qint64 start = qint64(index.row()) * 16;
    QByteArray now;
    if (index.column() == kText) {
        // The row's text typed over: printable ASCII, one byte a character, from the row's start.
        const QString text = value.toString();
        if (text.size() > std::min<qint64>(16, bytes_.size() - start))
            return false;
        for (const QChar c : text) {
            if (c.unicode() < 0x20 || c.unicode() >= 0x7F)
                return false;
            now += char(c.unicode());
        }
    } else {
        // Two hex digits, as the cell shows them.
        bool ok = false;
        const QString text = value.toString().trimmed();
        const uint byte = text.toUInt(&ok, 16);
        if (!ok || text.size() > 2 || byte > 0xFF)
            return false;
        now += char(byte);
    }
    const qint64 from = index.column() == kText ? start : start + index.column();
    edits_.resize(done_);  // what was undone goes
    ++steps_;
    for (qsizetype i = 0; i < now.size(); ++i)
        if (bytes_[from + i] != now[i]) {
            edits_.push_back({from + i, bytes_[from + i], now[i], steps_});
            Put(from + i, now[i]);
        }
    done_ = edits_.size();
    return true;
}

bool MemoryModel::undo()
{
    if (done_ == 0)
        return false;
    const int step = edits_[done_ - 1].step;
    while (done_ > 0 && edits_[done_ - 1].step == step) {
        const Edit &e = edits_[--done_];
        Put(e.at, e.was);
    }
    return true;
}

bool MemoryModel::redo()
{
    if (done_ >= edits_.size())
        return false;
    const int step = edits_[done_].step;
    while (done_ < edits_.size() && edits_[done_].step == step) {
        const Edit &e = edits_[done_++];
        Put(e.at, e.now);
    }
    return true;
}

int MemoryModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int((bytes_.size() + 15) / 16); }

int MemoryModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : 17; }

QVariant MemoryModel::data(const QModelIndex &index, int role) const
{
    const qint64 start = qint64(index.row()) * 16;
    if (index.column() == kText) {
        if (role != Qt::DisplayRole && role != Qt::EditRole)
            return {};
        QString text;
        for (qint64 i = start; i < std::min<qint64>(start + 16, bytes_.size()); ++i) {
            const uchar c = uchar(bytes_[i]);
            text += c >= 0x20 && c < 0x7F ? QChar(c) : QChar(u'.');
        }
        return text;
    }
    const qint64 at = start + index.column();
    if (at >= bytes_.size())
        return {};
    const bool laid = !image_.given.empty();
    const bool given = laid && at < qint64(image_.given.size()) && image_.given[std::size_t(at)];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return QStringLiteral("%1").arg(uchar(bytes_[at]), 2, 16, QLatin1Char('0')).toUpper();
    case Qt::FontRole:
        if (bytes_[at] != chip_[at]) {  // typed over, not written yet
            QFont bold;
            bold.setBold(true);
            bold.setUnderline(true);
            return bold;
        }
        return {};
    case Qt::ToolTipRole:
        return laid ? (given ? QStringLiteral("0x%1: the chip holds %2, the file %3")
                                   .arg(at, 4, 16, QLatin1Char('0'))
                                   .arg(uchar(bytes_[at]), 2, 16, QLatin1Char('0'))
                                   .arg(uchar(image_.bytes[at]), 2, 16, QLatin1Char('0'))
                             : QStringLiteral("0x%1: the file does not give this byte").arg(at, 4, 16, QLatin1Char('0')))
                    : QStringLiteral("0x%1").arg(at, 4, 16, QLatin1Char('0'));
    case Qt::BackgroundRole:
        // The palette's own highlight, mixed in: readable in light and dark themes.
        if (at < qint64(differs_.size()) && differs_[std::size_t(at)])
            return QPalette().color(QPalette::Highlight).lighter(QPalette().color(QPalette::Base).lightness() > 128 ? 170 : 60);
        return {};
    case Qt::ForegroundRole:
        if (laid && !given)
            return QPalette().color(QPalette::Disabled, QPalette::Text);
        return {};
    case Qt::TextAlignmentRole:
        return Qt::AlignCenter;
    default:
        return {};
    }
}

QVariant MemoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return QStringLiteral("%1").arg(qint64(section) * 16, 6, 16, QLatin1Char('0')).toUpper();
    return section == kText ? QStringLiteral("Text") : QStringLiteral("%1").arg(section, 0, 16).toUpper();
}

namespace {

// The memories a user reads whole, as avrdude names them.
bool Readable(const QString &name)
{
    static const QStringList names{QStringLiteral("flash"),   QStringLiteral("eeprom"), QStringLiteral("usersig"),
                                   QStringLiteral("userrow"), QStringLiteral("bootrow"), QStringLiteral("prodsig"),
                                   QStringLiteral("sigrow")};
    return names.contains(name);
}

// The memories that hold data, which the view lets the user type over and write back; flash is
// the program's, and read-only here.
bool Data(const QString &name)
{
    return name == QLatin1String("eeprom") || name == QLatin1String("usersig") || name == QLatin1String("userrow");
}

}  // namespace

MemoryDialog::MemoryDialog(const Controls &ui, session::ChipSession &session, QWidget *window)
    : QDialog(window), ui_(ui), session_(session), model_(new MemoryModel(this))
{
    setObjectName(QStringLiteral("MemoryDialog"));
    setWindowTitle(QStringLiteral("Memories"));
    memory_ = new QComboBox(this);
    memory_->setObjectName(QStringLiteral("MemoryName"));
    read_ = new QPushButton(QStringLiteral("&Read"), this);
    read_->setObjectName(QStringLiteral("MemoryRead"));
    file_ = new QLineEdit(this);
    file_->setObjectName(QStringLiteral("MemoryFile"));
    file_->setPlaceholderText(QStringLiteral("An image to compare with (Intel hex, S-record, raw, ELF)"));
    browse_ = new QPushButton(QStringLiteral("..."), this);
    compare_ = new QPushButton(QStringLiteral("&Compare"), this);
    compare_->setObjectName(QStringLiteral("MemoryCompare"));
    previous_ = new QPushButton(QStringLiteral("&Previous Difference"), this);
    next_ = new QPushButton(QStringLiteral("&Next Difference"), this);
    previous_->setObjectName(QStringLiteral("MemoryPrevious"));
    next_->setObjectName(QStringLiteral("MemoryNext"));
    address_ = new QLineEdit(this);
    address_->setObjectName(QStringLiteral("MemoryAddress"));
    address_->setPlaceholderText(QStringLiteral("Go to (Ctrl+G): 0x1F00"));
    find_ = new QLineEdit(this);
    find_->setObjectName(QStringLiteral("MemoryFind"));
    find_->setPlaceholderText(QStringLiteral("Find (Ctrl+F): DE AD BE EF, or text"));
    where_ = new QLabel(this);
    where_->setObjectName(QStringLiteral("MemoryWhere"));
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("MemorySummary"));
    summary_->setWordWrap(true);
    view_ = new QTableView(this);
    view_->setObjectName(QStringLiteral("MemoryView"));
    view_->setModel(model_);
    view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view_->setShowGrid(false);
    view_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view_->horizontalHeader()->setSectionResizeMode(MemoryModel::kText, QHeaderView::Stretch);
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);  // every row as high: no row measured
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Memory:"), this));
    top->addWidget(memory_, 1);
    top->addWidget(read_);

    saveFormat_ = new QComboBox(this);
    saveFormat_->setObjectName(QStringLiteral("MemorySaveFormat"));
    saveFormat_->addItem(QStringLiteral("Intel hex"), QStringLiteral("i"));
    saveFormat_->addItem(QStringLiteral("S-record"), QStringLiteral("s"));
    saveFormat_->addItem(QStringLiteral("Raw binary"), QStringLiteral("r"));
    save_ = new QPushButton(QStringLiteral("&Save As..."), this);
    write_ = new QPushButton(QStringLiteral("&Write to the Chip"), this);
    write_->setObjectName(QStringLiteral("MemoryWrite"));
    write_->setToolTip(QStringLiteral("Write the memory as shown, whole, in one avrdude run, then read it back"));
    write_->setEnabled(false);
    save_->setObjectName(QStringLiteral("MemorySave"));
    top->addWidget(saveFormat_);
    top->addWidget(save_);
    top->addWidget(write_);
    auto *over = new QHBoxLayout;
    over->addWidget(file_, 1);
    over->addWidget(browse_);
    over->addWidget(compare_);
    over->addWidget(previous_);
    over->addWidget(next_);
    // Go to and Find on a row of their own, wide enough for their hints.
    auto *seek = new QHBoxLayout;
    seek->addWidget(new QLabel(QStringLiteral("Go to:"), this));
    seek->addWidget(address_, 1);
    seek->addWidget(new QLabel(QStringLiteral("Find:"), this));
    seek->addWidget(find_, 2);
    auto *column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addLayout(seek);
    column->addLayout(over);
    column->addWidget(summary_);
    column->addWidget(view_, 1);
    column->addWidget(where_);
    resize(760, 560);

    connect(read_, &QPushButton::clicked, this, &MemoryDialog::read);
    connect(compare_, &QPushButton::clicked, this, &MemoryDialog::compare);
    connect(write_, &QPushButton::clicked, this, &MemoryDialog::write);
    const auto edited = [this] {
        const qint64 n = model_->changed();
        write_->setEnabled(n > 0);
        summary_->setText(n ? QStringLiteral("%1 %2 typed over, not written yet (marked; Ctrl+Z undoes).").arg(n).arg(n == 1 ? QStringLiteral("byte") : QStringLiteral("bytes"))
                            : QStringLiteral("The %1 as the chip holds it.").arg(shown_));
    };
    connect(model_, &MemoryModel::edited, this, edited);
    connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+Z")), this), &QShortcut::activated, this, [this] { model_->undo(); });
    connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+Z")), this), &QShortcut::activated, this, [this] { model_->redo(); });
    connect(&session_, &session::ChipSession::memoryWritten, this, [this](const QString &memory) {
        if (mine_ && memory == shown_)
            readBack_ = true;  // read once the run has ended: what the chip now holds
    });
    connect(save_, &QPushButton::clicked, this, [this] {
        const QChar format = saveFormat_->currentData().toString().front();
        const QString suffix = format == u'i' ? QStringLiteral(".hex") : format == u's' ? QStringLiteral(".srec") : QStringLiteral(".bin");
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save the %1").arg(shown_), shown_ + suffix);
        if (!path.isEmpty())
            saveAs(path, format);
    });
    connect(file_, &QLineEdit::returnPressed, this, &MemoryDialog::compare);
    connect(previous_, &QPushButton::clicked, this, [this] { step(-1); });
    connect(next_, &QPushButton::clicked, this, [this] { step(1); });
    connect(browse_, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Image to compare with"),
                                                            file_->text().isEmpty() ? QString() : QFileInfo(file_->text()).absolutePath());
        if (!chosen.isEmpty()) {
            file_->setText(chosen);
            compare();
        }
    });
    connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+G")), this), &QShortcut::activated, this, [this] {
        address_->setFocus();
        address_->selectAll();
    });
    connect(find_, &QLineEdit::returnPressed, this, [this] { find(find_->text()); });
    connect(new QShortcut(QKeySequence(QStringLiteral("Ctrl+F")), this), &QShortcut::activated, this, [this] {
        find_->setFocus();
        find_->selectAll();
    });
    connect(address_, &QLineEdit::returnPressed, this, [this] {
        bool ok = false;
        const qint64 at = address_->text().trimmed().toLongLong(&ok, 0);
        if (ok)
            goTo(at);
        else
            where_->setText(QStringLiteral("\"%1\" is no address (0x1F00, or 7936)").arg(address_->text()));
    });
    connect(view_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &at) {
        if (at.isValid() && at.column() < MemoryModel::kText) {
            const qint64 address = qint64(at.row()) * 16 + at.column();
            where_->setText(QStringLiteral("%1 0x%2 (%3): 0x%4").arg(shown_).arg(address, 4, 16, QLatin1Char('0')).arg(address)
                                .arg(at.data().toString()));
        }
    });
    connect(&session_, &session::ChipSession::memoryRead, this, [this](const QString &memory, const QByteArray &bytes) {
        if (!mine_)
            return;
        shown_ = memory;
        model_->setBytes(bytes, Data(memory));
        write_->setEnabled(false);
        comparison_ = {};
        range_ = -1;
        summary_->setText(QStringLiteral("The %1's %2, %3 bytes, as the chip holds it.").arg(session_.form().device, memory).arg(bytes.size()));
        if (!file_->text().isEmpty())
            compare();
    });
    connect(&session_, &session::ChipSession::finished, this, [this] {
        mine_ = false;
        if (readBack_) {
            readBack_ = false;
            mine_ = session_.readMemory(shown_);
        }
    });
    showPart();
}

void MemoryDialog::showPart()
{
    const QString was = memory_->currentText();
    memory_->clear();
    if (const compose::InstalledPart *part = session_.part())
        for (const compose::PartMemory &m : part->memories)
            if (Readable(m.name) && m.size > 0)
                memory_->addItem(QStringLiteral("%1 (%2 bytes)").arg(m.name).arg(m.size), m.name);
    memory_->setCurrentIndex(std::max(0, memory_->findData(was.section(u' ', 0, 0))));
    read_->setEnabled(memory_->count() > 0);
    if (memory_->count() == 0)
        summary_->setText(session_.part() ? QStringLiteral("The installed avrdude names no memory of the %1 to read whole.").arg(session_.part()->name)
                                          : QStringLiteral("Choose a device the installed avrdude knows."));
}

void MemoryDialog::read()
{
    const QString memory = memory_->currentData().toString();
    if (!memory.isEmpty())
        mine_ = session_.readMemory(memory);
}

void MemoryDialog::write()
{
    if (model_->changed() == 0)
        return;
    mine_ = session_.writeMemory(shown_, model_->bytes());
}

void MemoryDialog::compare()
{
    if (model_->bytes().isEmpty()) {
        summary_->setText(QStringLiteral("Read a memory first; then it is compared with the file."));
        return;
    }
    const images::MemoryFile image = images::ReadForWrite(file_->text(), u'a', {shown_, model_->bytes().size()});
    if (!image.ok()) {
        summary_->setText(QStringLiteral("%1: %2").arg(file_->text(), image.error));
        return;
    }
    comparison_ = images::Compare(model_->bytes(), image);
    model_->setImage(image, comparison_);
    range_ = -1;
    summary_->setText(QStringLiteral("%1 laid over the %2: %3.").arg(QFileInfo(file_->text()).fileName(), shown_, images::Summary(comparison_)));
    if (!comparison_.same())
        step(1);
}

void MemoryDialog::step(int by)
{
    if (comparison_.ranges.empty())
        return;
    const int n = int(comparison_.ranges.size());
    range_ = range_ < 0 ? (by > 0 ? 0 : n - 1) : (range_ + by + n) % n;
    const images::DiffRange &r = comparison_.ranges[std::size_t(range_)];
    goTo(r.start);
    where_->setText(where_->text() + QStringLiteral("; difference %1 of %2: 0x%3-0x%4")
                                         .arg(range_ + 1)
                                         .arg(n)
                                         .arg(r.start, 4, 16, QLatin1Char('0'))
                                         .arg(r.end - 1, 4, 16, QLatin1Char('0')));
}

bool MemoryDialog::saveAs(const QString &path, QChar format)
{
    if (model_->bytes().isEmpty()) {
        summary_->setText(QStringLiteral("Read a memory first; then it can be saved."));
        return false;
    }
    // Replaced whole or not at all: a failed save leaves the file that was there.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(images::WriteImage(model_->bytes(), format)) < 0 || !file.commit()) {
        summary_->setText(QStringLiteral("%1 could not be written: %2").arg(path, file.errorString()));
        return false;
    }
    summary_->setText(QStringLiteral("The %1 (%2 bytes) saved as %3.").arg(shown_).arg(model_->bytes().size()).arg(path));
    return true;
}

bool MemoryDialog::find(const QString &what)
{
    QByteArray needle;
    const QString spaced = what.trimmed();
    QString digits = spaced;
    digits.remove(u' ');
    static const QRegularExpression hex(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
    if (spaced.size() >= 2 && spaced.startsWith(u'"') && spaced.endsWith(u'"'))
        needle = spaced.mid(1, spaced.size() - 2).toUtf8();
    else if (hex.match(digits).hasMatch())
        needle = QByteArray::fromHex(digits.toLatin1());
    else
        needle = spaced.toUtf8();
    const QByteArray &bytes = model_->bytes();
    if (needle.isEmpty() || bytes.isEmpty())
        return false;
    const QModelIndex at = view_->currentIndex();
    const qint64 from = at.isValid() && at.column() < MemoryModel::kText ? qint64(at.row()) * 16 + at.column() + 1 : 0;
    qint64 found = bytes.indexOf(needle, from);
    if (found < 0)
        found = bytes.indexOf(needle);  // round the end
    if (found < 0) {
        where_->setText(QStringLiteral("%1 is not in the %2").arg(what, shown_));
        return false;
    }
    goTo(found);
    return true;
}

void MemoryDialog::goTo(qint64 address)
{
    if (address < 0 || address >= model_->bytes().size()) {
        where_->setText(QStringLiteral("0x%1 is past the %2's %3 bytes").arg(address, 0, 16).arg(shown_).arg(model_->bytes().size()));
        return;
    }
    const QModelIndex at = model_->index(int(address / 16), int(address % 16));
    view_->setCurrentIndex(at);
    view_->scrollTo(at, QAbstractItemView::PositionAtCenter);
}

}  // namespace window
