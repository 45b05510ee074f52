#include "widgets/output_pane.h"

#include "widgets/controls.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QFontDatabase>
#include <QSaveFile>
#include <QGuiApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScrollBar>
#include <QStyle>
#include <QTextLayout>
#include <QToolButton>

#include <algorithm>
#include <climits>

namespace widgets {

namespace {

constexpr int kMargin = 4;
// What a click or a key selects also goes to the X11 primary selection, up to this size.
constexpr qint64 kPrimaryBytes = 1 << 20;

bool IsWordCharacter(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

}  // namespace

OutputPane::OutputPane(QWidget *parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    // avrdude's columns (-v part tables, terminal dumps) line up only in a fixed-width font.
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setAttribute(Qt::WA_InputMethodEnabled, false);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(1);
    saveDialog = [this] {
        // Replacing a file is asked below, with its size and date.
        return QFileDialog::getSaveFileName(this, saveCaption_, QString(), QStringLiteral("Text files (*.txt);;All files (*)"),
                                            nullptr, QFileDialog::DontConfirmOverwrite);
    };
    confirmReplace = [this](const QString &question) {
        QMessageBox box(QMessageBox::Question, QGuiApplication::applicationDisplayName(), question, QMessageBox::NoButton, this);
        QPushButton *replace = box.addButton(QStringLiteral("Replace"), QMessageBox::AcceptRole);
        box.setDefaultButton(box.addButton(QMessageBox::Cancel));
        box.exec();
        return box.clickedButton() == replace;
    };
    // While the mouse drags a selection past the top or bottom edge, the view scrolls on.
    dragScroll_.setInterval(50);
    connect(&dragScroll_, &QTimer::timeout, this, [this] {
        const int h = viewport()->height();
        if (dragAt_.y() >= 0 && dragAt_.y() < h)
            return;
        ScrollLines(dragAt_.y() < 0 ? -1 - (-dragAt_.y()) / 20 : 1 + (dragAt_.y() - h) / 20);
        caret_ = OffsetAt(dragAt_);
        viewport()->update();
    });
    findAsTyped_.setSingleShot(true);
    findAsTyped_.setInterval(150);
    connect(&findAsTyped_, &QTimer::timeout, this, [this] { Find(findText_->text(), false, true); });
    MakeFindBar();
    UpdateScrollBar();
}

OutputPane::~OutputPane() = default;

// ---- The output ----

void OutputPane::beginOutput()
{
    store_.clear();
    layouts_.clear();
    top_ = {};
    caret_ = anchor_ = 0;
    markedLine_ = -1;
    shownRows_ = 1;
    dirty_ = false;
    found_ = {};
    findCount_->clear();
    UpdateScrollBar();
    viewport()->update();
}

void OutputPane::appendOutput(QStringView text)
{
    if (text.isEmpty())
        return;
    layouts_.erase(store_.rowCount() - 1);  // the last row is the one that grows
    store_.append(text);
    dirty_ = true;
}

void OutputPane::flush()
{
    if (!dirty_)
        return;
    dirty_ = false;
    // Only what is new moves the view's scroll range; the view itself stays where it is, and is
    // drawn anew when what changed is in sight.
    const bool inSight = shownRows_ - 1 <= Move(top_, VisibleLines()).row;
    shownRows_ = store_.rowCount();
    UpdateScrollBar();
    if (inSight)
        viewport()->update();
}

void OutputPane::showText(const QString &text)
{
    beginOutput();
    appendOutput(text);
    flush();
}

QString OutputPane::outputText() const { return QString::fromUtf8(store_.bytes(0, store_.size())); }

QString OutputPane::lineText(qint64 line) const
{
    if (line < 0 || line >= store_.lineCount())
        return QString();
    const qint64 end = line + 1 < store_.lineCount() ? store_.rowEnd(store_.rowOfLine(line + 1) - 1) : store_.size();
    return QString::fromUtf8(store_.bytes(store_.rowStart(store_.rowOfLine(line)), end));
}

qint64 OutputPane::findLine(const QString &text) const
{
    const qint64 at = text.isEmpty() ? -1 : store_.find(text.toUtf8(), 0, false, true);
    return at < 0 ? -1 : store_.lineOfRow(store_.rowAt(at));
}

// ---- Caret, mark and selection ----

qint64 OutputPane::caretLine() const { return store_.lineOfRow(store_.rowAt(caret_)); }

qsizetype OutputPane::caretColumn() const
{
    return QString::fromUtf8(store_.bytes(store_.rowStart(store_.rowOfLine(caretLine())), caret_)).size();
}

void OutputPane::setCaretToLine(qint64 line)
{
    caret_ = anchor_ = store_.rowStart(store_.rowOfLine(line));
    viewport()->update();
}

void OutputPane::showCaretAtLine(qint64 line)
{
    setCaretToLine(line);
    EnsureVisible(caret_, true);
}

void OutputPane::showCaretAtEnd()
{
    flush();
    caret_ = anchor_ = store_.size();
    EnsureVisible(caret_);
    viewport()->update();
}

void OutputPane::markLine(qint64 line)
{
    markedLine_ = line;
    viewport()->update();
}

void OutputPane::selectAll()
{
    anchor_ = 0;
    caret_ = store_.size();
    PutSelection();
    viewport()->update();
}

QString OutputPane::selectedText() const
{
    return QString::fromUtf8(store_.bytes(selectionStart(), selectionEnd()));
}

void OutputPane::copy()
{
    if (selectionLength() == 0)
        return;
    if (selectionLength() > kClipboardBytes) {
        emit copyTooLarge(selectionLength());
        return;
    }
    QApplication::clipboard()->setText(selectedText());
}

void OutputPane::PutSelection() const
{
    QClipboard *clipboard = QApplication::clipboard();
    if (clipboard->supportsSelection() && selectionLength() > 0 && selectionLength() <= kPrimaryBytes)
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void OutputPane::saveOutput()
{
    saveCaption_ = QStringLiteral("Save Output As");
    SaveRange(0, store_.size());
}

void OutputPane::saveSelection()
{
    saveCaption_ = QStringLiteral("Save Selection As");
    SaveRange(selectionStart(), selectionEnd());
}

void OutputPane::SaveRange(qint64 from, qint64 to)
{
    const QString path = saveDialog();
    if (path.isEmpty())
        return;
    if (const QFileInfo there(path); there.exists() &&
        !confirmReplace(QStringLiteral("%1 is there already (%2 bytes, changed %3). Replace it with the output?")
                            .arg(there.absoluteFilePath())
                            .arg(there.size())
                            .arg(QLocale().toString(there.lastModified(), QLocale::ShortFormat))))
        return;
    // Exactly as avrdude printed it (line breaks as LF), whole or not at all.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !store_.copyTo(file, from, to) || !file.commit())
        emit saveFailed(path);
}

// ---- Layout: rows wrapped at the pane's width, laid out when they come into sight ----

int OutputPane::LineHeight() const { return std::max(1, fontMetrics().lineSpacing()); }

int OutputPane::VisibleLines() const { return std::max(1, (viewport()->height() - kMargin) / LineHeight()); }

QTextLayout &OutputPane::Layout(qint64 row) const
{
    const int width = std::max(20, viewport()->width() - 2 * kMargin);
    if (width != layoutWidth_) {
        layouts_.clear();
        layoutWidth_ = width;
    }
    if (auto it = layouts_.find(row); it != layouts_.end())
        return *it->second;
    if (layouts_.size() >= 256)  // a few pages: what is in sight, and what scrolling passes
        layouts_.clear();
    auto layout = std::make_unique<QTextLayout>(store_.rowText(row), font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout->setTextOption(option);
    layout->setCacheEnabled(true);
    const int height = LineHeight();
    int y = 0;
    layout->beginLayout();
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += height;
    }
    layout->endLayout();
    return *layouts_.emplace(row, std::move(layout)).first->second;
}

int OutputPane::Lines(qint64 row) const { return std::max(1, Layout(row).lineCount()); }

OutputPane::Spot OutputPane::Move(Spot spot, qint64 lines) const
{
    const qint64 last = store_.rowCount() - 1;
    while (lines > 0) {
        const int below = Lines(spot.row) - 1 - spot.line;
        if (lines <= below) {
            spot.line += int(lines);
            break;
        }
        if (spot.row == last) {
            spot.line += below;
            break;
        }
        lines -= below + 1;
        spot = {spot.row + 1, 0};
    }
    while (lines < 0) {
        if (-lines <= spot.line) {
            spot.line += int(lines);
            break;
        }
        if (spot.row == 0) {
            spot.line = 0;
            break;
        }
        lines += spot.line + 1;
        spot.row -= 1;
        spot.line = Lines(spot.row) - 1;
    }
    return spot;
}

OutputPane::Spot OutputPane::LastPage() const
{
    const qint64 last = store_.rowCount() - 1;
    return Move({last, Lines(last) - 1}, -(VisibleLines() - 1));
}

OutputPane::Spot OutputPane::SpotOf(qint64 offset) const
{
    const qint64 row = store_.rowAt(offset);
    const QTextLine line = Layout(row).lineForTextPosition(int(store_.columnOf(row, offset)));
    return {row, line.isValid() ? line.lineNumber() : Lines(row) - 1};
}

qint64 OutputPane::OffsetInRow(qint64 row, int column) const
{
    const QString &text = Layout(row).text();
    return store_.rowStart(row) + QStringView(text).left(std::clamp<int>(column, 0, int(text.size()))).toUtf8().size();
}

void OutputPane::UpdateScrollBar()
{
    const Spot last = LastPage();
    if (Before(last, top_))
        top_ = last;
    top_.line = std::min(top_.line, Lines(top_.row) - 1);
    settingScrollBar_ = true;
    verticalScrollBar()->setRange(0, int(std::min<qint64>(last.row, INT_MAX)));
    verticalScrollBar()->setPageStep(VisibleLines());
    verticalScrollBar()->setValue(int(std::min<qint64>(top_.row, INT_MAX)));
    settingScrollBar_ = false;
}

void OutputPane::scrollContentsBy(int, int)
{
    if (settingScrollBar_)
        return;
    // The scroll bar counts rows; at its end the view shows the last page.
    const Spot last = LastPage();
    const qint64 row = verticalScrollBar()->value();
    top_ = row >= last.row ? last : Spot{row, 0};
    viewport()->update();
}

void OutputPane::ScrollTo(Spot top)
{
    const Spot last = LastPage();
    top_ = Before(last, top) ? last : top;
    UpdateScrollBar();
    viewport()->update();
}

void OutputPane::ScrollLines(qint64 lines) { ScrollTo(Move(top_, lines)); }

void OutputPane::EnsureVisible(qint64 offset, bool withContext)
{
    // Just into sight, for the caret; a third down the pane, for a match or a marked line, so that
    // what comes before and after it shows too.
    const Spot spot = SpotOf(offset);
    const bool above = Before(spot, top_), below = Before(Move(top_, VisibleLines() - 1), spot);
    if (withContext && (above || below))
        ScrollTo(Move(spot, -(VisibleLines() / 3)));
    else if (above)
        ScrollTo(spot);
    else if (below)
        ScrollTo(Move(spot, -(VisibleLines() - 1)));
}

qint64 OutputPane::OffsetAt(QPoint point) const
{
    const int height = LineHeight();
    int y = kMargin - top_.line * height;
    for (qint64 row = top_.row;; ++row) {
        const int lines = Lines(row);
        if (point.y() < y + lines * height || row == store_.rowCount() - 1) {
            const int index = std::clamp((point.y() - y) / height - (point.y() < y ? 1 : 0), 0, lines - 1);
            const QTextLine line = Layout(row).lineAt(index);
            return OffsetInRow(row, line.xToCursor(point.x() - kMargin));
        }
        y += lines * height;
    }
}

// ---- Painting ----

void OutputPane::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QPalette &colours = palette();
    painter.fillRect(event->rect(), colours.brush(QPalette::Base));
    const int height = LineHeight(), width = viewport()->width();
    const qint64 markFrom = markedLine_ >= 0 ? store_.rowOfLine(markedLine_) : -1;
    const qint64 markTo = markedLine_ < 0                          ? -1
                          : markedLine_ + 1 < store_.lineCount() ? store_.rowOfLine(markedLine_ + 1)
                                                                 : store_.rowCount();
    const qint64 from = selectionStart(), to = selectionEnd();
    const qint64 caretRow = hasFocus() ? store_.rowAt(caret_) : -1;
    int y = kMargin - top_.line * height;
    // The wrapped lines of the top row above the view stay out of its top margin.
    painter.setClipRect(QRect(0, kMargin, width, viewport()->height() - kMargin));
    for (qint64 row = top_.row; row < store_.rowCount() && y < viewport()->height(); ++row) {
        QTextLayout &layout = Layout(row);
        const int lines = std::max(1, layout.lineCount());
        const QRect band(0, y, width, lines * height);
        if (event->rect().intersects(band)) {
            const bool marked = row >= markFrom && row < markTo;
            const QColor markBand = Mixed(colours.color(QPalette::Base), kMarkHue, 0.4);
            if (marked)
                painter.fillRect(band, markBand);
            painter.setPen(marked ? ReadableOn(colours.color(QPalette::Text), markBand) : colours.color(QPalette::Text));
            QList<QTextLayout::FormatRange> selection;
            const qint64 start = store_.rowStart(row), end = store_.rowEnd(row);
            if (from < to && from <= end && to > start) {
                QTextLayout::FormatRange range;
                range.start = int(store_.columnOf(row, std::max(from, start)));
                range.length = int(store_.columnOf(row, std::min(to, end))) - range.start;
                range.format.setBackground(colours.brush(QPalette::Highlight));
                range.format.setForeground(colours.brush(QPalette::HighlightedText));
                if (to > end && end == start)  // an empty line inside the selection shows as selected
                    painter.fillRect(QRect(kMargin, y, height / 2, height), colours.brush(QPalette::Highlight));
                selection << range;
            }
            layout.draw(&painter, QPointF(kMargin, y), selection);
            if (row == caretRow)
                layout.drawCursor(&painter, QPointF(kMargin, y), int(store_.columnOf(row, caret_)));
        }
        y += lines * height;
    }
}

void OutputPane::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    PlaceFindBar();
    UpdateScrollBar();
}

void OutputPane::PlaceFindBar()
{
    // Below the text, beside the scroll bar (which runs down the whole pane).
    if (!findBar_->isVisible())
        return;
    const int bar = findBar_->sizeHint().height();
    const QRect area = contentsRect();
    const int scrollBar = verticalScrollBar()->isVisible() ? verticalScrollBar()->width() : 0;
    findBar_->setGeometry(area.left(), area.bottom() + 1 - bar, area.width() - scrollBar, bar);
}

void OutputPane::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        layouts_.clear();
        UpdateScrollBar();
    }
}

void OutputPane::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void OutputPane::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

// ---- Keyboard and mouse ----

void OutputPane::MoveCaret(qint64 offset, bool select)
{
    caret_ = std::clamp<qint64>(offset, 0, store_.size());
    if (!select)
        anchor_ = caret_;
    else
        PutSelection();
    EnsureVisible(caret_);
    viewport()->update();
}

qint64 OutputPane::VerticalStep(qint64 offset, qint64 lines) const
{
    const qint64 row = store_.rowAt(offset);
    const int column = int(store_.columnOf(row, offset));
    const QTextLine line = Layout(row).lineForTextPosition(column);
    const qreal x = line.cursorToX(column);
    const Spot from{row, line.lineNumber()}, to = Move(from, lines);
    if (to.row == from.row && to.line == from.line)
        return lines < 0 ? 0 : store_.size();
    return OffsetInRow(to.row, Layout(to.row).lineAt(to.line).xToCursor(x));
}

qint64 OutputPane::HorizontalStep(qint64 offset, int direction) const
{
    qint64 row = store_.rowAt(offset);
    int column = int(store_.columnOf(row, offset));
    if (direction < 0) {
        if (column == 0) {
            if (row == 0)
                return 0;
            if (!store_.continues(row))
                return store_.rowEnd(row - 1);  // before the line break
            row -= 1;
            column = int(Layout(row).text().size());
        }
        return OffsetInRow(row, Layout(row).previousCursorPosition(column));
    }
    if (offset >= store_.rowEnd(row))
        return row + 1 < store_.rowCount() ? store_.rowStart(row + 1) : offset;
    return OffsetInRow(row, Layout(row).nextCursorPosition(column));
}

void OutputPane::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Copy) {
        copy();
        return;
    }
    if (event == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    if (event == QKeySequence::Find) {
        openFind();
        return;
    }
    if (event == QKeySequence::FindNext || event == QKeySequence::FindPrevious) {
        FindFromBar(event == QKeySequence::FindPrevious);
        return;
    }
    const bool select = event->modifiers() & Qt::ShiftModifier;
    const bool whole = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_Up:
        MoveCaret(VerticalStep(caret_, -1), select);
        return;
    case Qt::Key_Down:
        MoveCaret(VerticalStep(caret_, 1), select);
        return;
    case Qt::Key_PageUp:
        ScrollLines(-(VisibleLines() - 1));
        MoveCaret(VerticalStep(caret_, -(VisibleLines() - 1)), select);
        return;
    case Qt::Key_PageDown:
        ScrollLines(VisibleLines() - 1);
        MoveCaret(VerticalStep(caret_, VisibleLines() - 1), select);
        return;
    case Qt::Key_Left:
        MoveCaret(HorizontalStep(caret_, -1), select);
        return;
    case Qt::Key_Right:
        MoveCaret(HorizontalStep(caret_, 1), select);
        return;
    case Qt::Key_Home:
    case Qt::Key_End: {
        const bool home = event->key() == Qt::Key_Home;
        if (whole) {
            MoveCaret(home ? 0 : store_.size(), select);
            return;
        }
        const qint64 row = store_.rowAt(caret_);
        const QTextLine line = Layout(row).lineForTextPosition(int(store_.columnOf(row, caret_)));
        const int column = home ? line.textStart() : line.textStart() + line.textLength();
        MoveCaret(OffsetInRow(row, column), select);
        return;
    }
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void OutputPane::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    caret_ = OffsetAt(event->position().toPoint());
    if (!(event->modifiers() & Qt::ShiftModifier))
        anchor_ = caret_;
    dragging_ = true;
    dragAt_ = event->position().toPoint();
    viewport()->update();
}

void OutputPane::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragging_)
        return;
    dragAt_ = event->position().toPoint();
    caret_ = OffsetAt(dragAt_);
    if (dragAt_.y() < 0 || dragAt_.y() >= viewport()->height()) {
        if (!dragScroll_.isActive())
            dragScroll_.start();
    } else {
        dragScroll_.stop();
    }
    viewport()->update();
}

void OutputPane::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && dragging_) {
        dragging_ = false;
        dragScroll_.stop();
        PutSelection();
    }
}

void OutputPane::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    // The word under the mouse.
    const qint64 at = OffsetAt(event->position().toPoint());
    const qint64 row = store_.rowAt(at);
    const QString &text = Layout(row).text();
    int from = int(store_.columnOf(row, at)), to = from;
    while (from > 0 && IsWordCharacter(text.at(from - 1)))
        --from;
    while (to < text.size() && IsWordCharacter(text.at(to)))
        ++to;
    anchor_ = OffsetInRow(row, from);
    caret_ = OffsetInRow(row, to);
    PutSelection();
    viewport()->update();
}

void OutputPane::wheelEvent(QWheelEvent *event)
{
    wheelAngle_ += event->angleDelta().y();
    const int steps = wheelAngle_ / 120;
    wheelAngle_ -= steps * 120;
    if (steps != 0)
        ScrollLines(-qint64(steps) * QApplication::wheelScrollLines());
    event->accept();
}

void OutputPane::contextMenuEvent(QContextMenuEvent *event)
{
    const bool empty = store_.size() == 0;
    QMenu menu(this);
    QAction *copyAction = menu.addAction(QStringLiteral("Copy"), this, &OutputPane::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(selectionLength() > 0);
    menu.addAction(QStringLiteral("Select All"), this, &OutputPane::selectAll)->setShortcut(QKeySequence::SelectAll);
    menu.addSeparator();
    QAction *find = menu.addAction(QStringLiteral("Find..."), this, &OutputPane::openFind);
    find->setShortcut(QKeySequence::Find);
    find->setEnabled(!empty);
    menu.addSeparator();
    menu.addAction(QStringLiteral("Save Output As..."), this, &OutputPane::saveOutput)->setEnabled(!empty);
    menu.addAction(QStringLiteral("Clear"), this, &OutputPane::beginOutput)->setEnabled(!empty);
    menu.exec(event->globalPos());
}

// ---- Find ----

void OutputPane::MakeFindBar()
{
    findBar_ = new QWidget(this);
    findBar_->setObjectName(QStringLiteral("FindBar"));
    findBar_->setAutoFillBackground(true);
    auto *row = new QHBoxLayout(findBar_);
    row->setContentsMargins(4, 2, 2, 2);
    row->setSpacing(4);
    row->addWidget(new QLabel(QStringLiteral("Find:"), findBar_));
    findText_ = new QLineEdit(findBar_);
    findText_->setObjectName(QStringLiteral("FindText"));
    findText_->setClearButtonEnabled(true);
    row->addWidget(findText_, 1);
    findPreviousButton_ = new QPushButton(QStringLiteral("Previous"), findBar_);
    findPreviousButton_->setObjectName(QStringLiteral("FindPrevious"));
    findNextButton_ = new QPushButton(QStringLiteral("Next"), findBar_);
    findNextButton_->setObjectName(QStringLiteral("FindNext"));
    for (QPushButton *button : {findPreviousButton_, findNextButton_}) {
        button->setAutoDefault(false);
        row->addWidget(button);
    }
    matchCase_ = new QCheckBox(QStringLiteral("Match case"), findBar_);
    matchCase_->setObjectName(QStringLiteral("FindMatchCase"));
    row->addWidget(matchCase_);
    findCount_ = new QLabel(findBar_);
    findCount_->setObjectName(QStringLiteral("FindCount"));
    findCount_->setMinimumWidth(findCount_->fontMetrics().horizontalAdvance(QStringLiteral("0000000 of 0000000")));
    row->addWidget(findCount_);
    findClose_ = new QToolButton(findBar_);
    findClose_->setObjectName(QStringLiteral("FindClose"));
    findClose_->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    findClose_->setToolTip(QStringLiteral("Close (Escape)"));
    findClose_->setAutoRaise(true);
    row->addWidget(findClose_);
    findBar_->hide();

    connect(findNextButton_, &QPushButton::clicked, this, [this] { FindFromBar(false); });
    connect(findPreviousButton_, &QPushButton::clicked, this, [this] { FindFromBar(true); });
    connect(findClose_, &QToolButton::clicked, this, &OutputPane::CloseFind);
    connect(findText_, &QLineEdit::textEdited, this, [this] { findAsTyped_.start(); });
    connect(matchCase_, &QCheckBox::toggled, this, [this] { Find(findText_->text(), false, true); });
    findText_->installEventFilter(this);
}

bool OutputPane::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == findText_ && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            FindFromBar(key->modifiers() & Qt::ShiftModifier);
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            CloseFind();
            return true;
        }
        if (key == QKeySequence::FindNext || key == QKeySequence::FindPrevious) {
            FindFromBar(key == QKeySequence::FindPrevious);
            return true;
        }
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void OutputPane::openFind()
{
    if (!findBar_->isVisible()) {
        findBar_->show();
        setViewportMargins(0, 0, 0, findBar_->sizeHint().height());
        PlaceFindBar();
    }
    // A short selection is what the user wants to find, most likely.
    if (selectionLength() > 0 && selectionLength() <= 200) {
        const QString selected = selectedText();
        if (!selected.contains(u'\n'))
            findText_->setText(selected);
    }
    findText_->selectAll();
    findText_->setFocus(Qt::ShortcutFocusReason);
}

void OutputPane::CloseFind()
{
    findAsTyped_.stop();
    findBar_->hide();
    setViewportMargins(0, 0, 0, 0);
    setFocus(Qt::OtherFocusReason);
}

void OutputPane::FindFromBar(bool backward)
{
    findAsTyped_.stop();
    if (!findBar_->isVisible() || findText_->text().isEmpty()) {
        openFind();
        if (findText_->text().isEmpty())
            return;
    }
    Find(findText_->text(), backward, false);
}

bool OutputPane::findNext(const QString &text, bool backward) { return Find(text, backward, false); }

QString OutputPane::findCountText() const { return findCount_->text(); }

bool OutputPane::Find(const QString &text, bool backward, bool fromSelectionStart)
{
    flush();
    const QByteArray needle = text.toUtf8();
    const bool matchCase = matchCase_->isChecked();
    if (needle.isEmpty()) {
        findCount_->clear();
        found_ = {};
        return false;
    }
    // Forward from the end of the selection (its start while the text is being typed), backward from
    // its start; round to the other end when nothing is left that way.
    const qint64 from = backward || fromSelectionStart ? selectionStart() : selectionEnd();
    qint64 at = store_.find(needle, from, backward, matchCase);
    if (at < 0)
        at = store_.find(needle, backward ? store_.size() : 0, backward, matchCase);
    if (at < 0) {
        findCount_->setText(QStringLiteral("No match"));
        found_ = {};
        return false;
    }
    // Which match it is: counted once per search and output, then stepped along.
    const bool same = found_.needle == needle && found_.matchCase == matchCase && found_.size == store_.size() &&
                      found_.at >= 0;
    if (same && at != found_.at && !fromSelectionStart) {
        if (!backward)
            found_.index = at > found_.at ? found_.index + 1 : 1;
        else
            found_.index = at < found_.at ? found_.index - 1 : found_.total;
        found_.index = std::clamp<qint64>(found_.index, 1, found_.total);
    } else if (!same || at != found_.at) {
        const OutputStore::Count count = store_.count(needle, at, matchCase);
        found_.total = count.total;
        found_.index = std::min(count.before + 1, count.total);
    }
    found_.needle = needle;
    found_.matchCase = matchCase;
    found_.size = store_.size();
    found_.at = at;
    findCount_->setText(QStringLiteral("%1 of %2").arg(found_.index).arg(found_.total));
    anchor_ = at;
    caret_ = at + needle.size();
    EnsureVisible(at, true);
    PutSelection();
    viewport()->update();
    return true;
}

}  // namespace widgets
