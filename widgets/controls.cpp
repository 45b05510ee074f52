#include "widgets/controls.h"

#include <QAbstractItemView>
#include <QStyledItemDelegate>
#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QLineEdit>

#include <algorithm>
#include <cmath>

namespace widgets {

namespace {

// An entry's note after its text in the open list; the text alone is what a pick puts in the field.
class NoteDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (const QString note = index.data(ComboBox::kNoteRole).toString(); !note.isEmpty())
            option->text += QStringLiteral(" \u2014 ") + note;
    }
};

}  // namespace

ComboBox::ComboBox(const QStringList &items, const QString &text, QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);  // texts are compared exactly; completion would change what the user typed
    addItems(items);
    setCurrentIndex(-1);
    setEditText(text);
    connect(this, &QComboBox::editTextChanged, this, &ComboBox::changed);
    // A name longer than the box shows its start ("ATxmega128A1U", not "mega128A1U") whenever the
    // user is not typing in it: after a pick, a text set by the program, and when the box is left.
    connect(this, &QComboBox::editTextChanged, this, [this] {
        if (!lineEdit()->isModified())
            lineEdit()->setCursorPosition(0);
    });
    lineEdit()->installEventFilter(this);
    setItemDelegate(new NoteDelegate(this));
}

bool ComboBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lineEdit() && event->type() == QEvent::FocusOut)
        lineEdit()->setCursorPosition(0);
    return QComboBox::eventFilter(watched, event);
}

namespace {

class ClickThrough : public QObject {
public:
    ClickThrough(QWidget *popup) : QObject(popup), popup_(popup) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != popup_ || event->type() != QEvent::MouseButtonPress)
            return false;
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QPoint global = mouse->globalPosition().toPoint();
        if (popup_->rect().contains(popup_->mapFromGlobal(global)))
            return false;
        popup_->hide();
        // The press goes to the widget under the pointer as the user meant it; its release follows
        // by the usual way, the list having let go of the pointer.
        if (QWidget *target = QApplication::widgetAt(global)) {
            // A press made here is no spontaneous one: the focus a click gives is given by hand.
            for (QWidget *w = target; w && !w->isWindow(); w = w->parentWidget())
                if (w->isEnabled() && (w->focusPolicy() & Qt::ClickFocus)) {
                    w->setFocus(Qt::MouseFocusReason);
                    break;
                }
            QMouseEvent press(QEvent::MouseButtonPress, target->mapFromGlobal(mouse->globalPosition()), mouse->globalPosition(),
                              mouse->button(), mouse->buttons(), mouse->modifiers());
            QCoreApplication::sendEvent(target, &press);
        }
        return true;
    }

private:
    QWidget *popup_;
};

}  // namespace

void LetClicksThrough(QCompleter *completer)
{
    QWidget *popup = completer->popup();
    popup->installEventFilter(new ClickThrough(popup));
}

void FitListToEntries(QComboBox *box)
{
    QAbstractItemView *view = box->view();
    view->setTextElideMode(Qt::ElideNone);
    const QFontMetrics metrics(view->font());
    int widest = 0;
    for (int i = 0; i < box->count(); ++i) {
        const QString note = box->itemData(i, ComboBox::kNoteRole).toString();
        widest = std::max(widest, metrics.horizontalAdvance(note.isEmpty() ? box->itemText(i)
                                                                           : box->itemText(i) + QStringLiteral(" \u2014 ") + note));
    }
    // The item's margins and the scroll bar beside the entries.
    const int margins = 4 * view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 16;
    view->setMinimumWidth(widest + margins + view->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, view));
}

void ComboBox::showPopup()
{
    emit popupAboutToShow();
    QComboBox::showPopup();
}

void ComboBox::setItems(const QStringList &list)
{
    if (list == items())
        return;
    // The text stays as it was, picked or typed; the entry it names is selected in the new list.
    const QSignalBlocker quiet(this);
    const QString text = currentText();
    const bool picked = itemIndex() >= 0;
    clear();
    for (const auto &[entry, note] : leading_)
        addItem(entry);
    addItems(list);
    ShowNotes();
    const int index = picked ? findText(text) : -1;
    setCurrentIndex(index < 0 ? -1 : index + leadingCount());
    if (index < 0)
        setEditText(text);
}

void ComboBox::setLeading(const QList<QPair<QString, QString>> &entries)
{
    if (entries == leading_)
        return;
    const QSignalBlocker quiet(this);
    const QString text = currentText();
    const int picked = itemIndex();
    for (qsizetype i = 0; i < leading_.size(); ++i)
        removeItem(0);
    leading_ = entries;
    for (qsizetype i = 0; i < leading_.size(); ++i)
        insertItem(int(i), leading_[i].first);
    ShowNotes();
    setCurrentIndex(picked < 0 ? -1 : picked + leadingCount());
    if (picked < 0)
        setEditText(text);
}

void ComboBox::setNotes(const QHash<QString, QString> &notes, const QHash<QString, QString> &tips)
{
    notes_ = notes;
    tips_ = tips;
    ShowNotes();
}

void ComboBox::ShowNotes()
{
    for (int i = 0; i < count(); ++i) {
        const QString text = itemText(i);
        const QString note = i < leadingCount() ? leading_[i].second : notes_.value(text);
        setItemData(i, note.isEmpty() ? QVariant() : QVariant(note), kNoteRole);
        if (tips_.contains(text))
            setItemData(i, tips_.value(text), Qt::ToolTipRole);
    }
}

int ComboBox::findText(const QString &text, Qt::MatchFlags flags) const
{
    for (int i = leadingCount(); i < count(); ++i)
        if (flags.testFlag(Qt::MatchCaseSensitive) ? itemText(i) == text : itemText(i).compare(text, Qt::CaseInsensitive) == 0)
            return i - leadingCount();
    return -1;
}

QStringList ComboBox::items() const
{
    QStringList list;
    for (int i = leadingCount(); i < count(); ++i)
        list << itemText(i);
    return list;
}

int ComboBox::itemIndex() const
{
    // A text typed over the selected entry means no entry is selected any more; a leading entry
    // picked stands for the list's own entry of that text.
    const int index = currentIndex();
    if (index < 0 || itemText(index) != currentText())
        return -1;
    return index < leadingCount() ? findText(currentText()) : index - leadingCount();
}

void ComboBox::setItemIndex(int index)
{
    const QSignalBlocker quiet(this);
    const QString keep = currentText();
    if (index == -1) {
        setCurrentIndex(-1);
        setEditText(keep);
        return;
    }
    // past the list selects nothing and shows the empty text
    setCurrentIndex(index < 0 || index >= count() - leadingCount() ? -1 : index + leadingCount());
    if (index < 0 || index >= count() - leadingCount())
        setEditText(QString());
}

namespace {

double Luminance(const QColor &c)
{
    const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

}  // namespace

double ContrastRatio(const QColor &a, const QColor &b)
{
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor &hue, const QColor &background, double ratio)
{
    const bool darkBackground = Luminance(background) < 0.18;
    QColor c = hue.toHsl();
    for (int step = 0; step < 256 && ContrastRatio(c, background) < ratio; ++step) {
        const int lightness = std::clamp(c.lightness() + (darkBackground ? 4 : -4), 0, 255);
        c.setHsl(c.hslHue(), c.hslSaturation(), lightness);
    }
    return c.toRgb();
}

QColor Mixed(const QColor &background, const QColor &hue, double share)
{
    const auto mix = [share](double a, double b) { return a + (b - a) * share; };
    return QColor::fromRgbF(float(mix(background.redF(), hue.redF())), float(mix(background.greenF(), hue.greenF())),
                            float(mix(background.blueF(), hue.blueF())));
}

namespace {

// Keeps a widget's text colour readable on its window colour as the palette changes.
class Tinter : public QObject {
public:
    Tinter(QWidget *widget, const QColor &hue) : QObject(widget), widget_(widget), hue_(hue) { Follow(); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == widget_ && event->type() == QEvent::PaletteChange)
            Follow();
        return false;
    }

    void Follow()
    {
        const QColor text = ReadableOn(hue_, widget_->palette().color(QPalette::Window));
        if (widget_->palette().color(QPalette::WindowText) == text)
            return;  // setting it again would come back here
        QPalette pal = widget_->palette();
        pal.setColor(QPalette::WindowText, text);
        pal.setColor(QPalette::Text, text);
        widget_->setPalette(pal);
    }

private:
    QWidget *widget_;
    QColor hue_;
};

}  // namespace

void Tint(QWidget *widget, const QColor &hue)
{
    for (Tinter *old : widget->findChildren<Tinter *>(QString(), Qt::FindDirectChildrenOnly))
        delete old;
    widget->installEventFilter(new Tinter(widget, hue));
}

SpeedButton::SpeedButton(const QString &caption, const QColor &color, QWidget *parent)
    : QPushButton(caption, parent), hue_(color)
{
    setFlat(true);
    FollowPalette();
}

void SpeedButton::changeEvent(QEvent *event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        FollowPalette();
}

void SpeedButton::paintEvent(QPaintEvent *event)
{
    QPushButton::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void SpeedButton::FollowPalette()
{
    const QColor caption = ReadableOn(hue_, palette().color(QPalette::Window));
    if (palette().color(QPalette::ButtonText) == caption)
        return;  // setting it again would come back here
    QPalette pal = palette();
    pal.setColor(QPalette::ButtonText, caption);
    setPalette(pal);
}

}  // namespace widgets
