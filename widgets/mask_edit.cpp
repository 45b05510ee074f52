#include "widgets/mask_edit.h"

#include <QApplication>
#include <QMouseEvent>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

namespace widgets {

using fuses::MaskText;

MaskEdit::MaskEdit(const Mask &mask, const QString &initial, QWidget *parent)
    : QLineEdit(parent), mask_(mask), model_(mask.positions, mask.upper, mask.digitsOnly, initial)
{
    setAcceptDrops(false);
    setAttribute(Qt::WA_InputMethodEnabled, false);
    QLineEdit::setText(model_.RawText());
    editStart_ = model_.RawText();
}

void MaskEdit::setMaskedText(const QString &text)
{
    MaskText next = model_;
    next.SetText(text);
    Apply(next, cursorPosition(), false);
}

void MaskEdit::Show(int cursor)
{
    const QSignalBlocker quiet(this);
    QLineEdit::setText(model_.RawText());
    setCursorPosition(std::clamp<int>(cursor, 0, static_cast<int>(model_.RawText().size())));
}

void MaskEdit::Apply(const MaskText &next, int cursor, bool byUser)
{
    if (next.RawText() == model_.RawText()) {
        setCursorPosition(cursor);
        return;
    }
    model_ = next;
    modified_ = byUser;
    Show(cursor);
    emit changed();
}

void MaskEdit::ClearSelection(MaskText &next, int &cursor) const
{
    if (!hasSelectedText())
        return;
    const int from = selectionStart();
    cursor = next.Clear(from, from + static_cast<int>(selectedText().size()));
}

void MaskEdit::TypeChar(QChar c)
{
    // Typing over a selection overwrites from its start, position by position, as everywhere else
    // in the field: the other positions keep what they hold.
    MaskText next = model_;
    const int cursor = hasSelectedText() ? selectionStart() : cursorPosition();
    const int after = next.Type(cursor, c);
    if (after == cursor) {
        QApplication::beep();  // no room, or a character this field does not take
        return;
    }
    deselect();
    Apply(next, after, true);
}

void MaskEdit::CutSelection()
{
    if (!hasSelectedText())
        return;
    QApplication::clipboard()->setText(selectedText());
    MaskText next = model_;
    int cursor = cursorPosition();
    ClearSelection(next, cursor);
    Apply(next, cursor, true);
}

void MaskEdit::PasteClipboard() { PasteText(QApplication::clipboard()->text()); }

void MaskEdit::PasteText(const QString &text)
{
    MaskText next = model_;
    int after = 0;
    if (pasteFilter) {
        const std::optional<QString> whole = pasteFilter(text);
        if (!whole) {
            emit pasteRefused(text);
            return;
        }
        next.SetText(*whole);
        after = static_cast<int>(whole->size());
    } else {
        const int cursor = hasSelectedText() ? selectionStart() : cursorPosition();
        after = next.Paste(cursor, text);
    }
    deselect();
    Apply(next, after, true);
}

void MaskEdit::mouseReleaseEvent(QMouseEvent *event)
{
    // The middle button pastes the selection of X11, through the mask like any other paste.
    if (event->button() == Qt::MiddleButton && !isReadOnly() && isEnabled()) {
        PasteText(QApplication::clipboard()->text(QClipboard::Selection));
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void MaskEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete) {
        MaskText next = model_;
        int cursor = cursorPosition();
        if (hasSelectedText())
            ClearSelection(next, cursor);
        else
            next.Clear(cursor, cursor + 1);
        Apply(next, cursor, true);
        return;
    }

    // Ctrl+A selects the whole text, except where a key filter decides what every key types.
    if (!keyPress && event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }

    // The character this key types, control characters included (Ctrl+V is 0x16).
    QChar c;
    if (event->key() == Qt::Key_Backspace)
        c = QChar(0x08);
    else if ((event->modifiers() & Qt::ControlModifier) && event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z)
        c = QChar(event->key() - Qt::Key_A + 1);
    else if (event->text().size() == 1 && !(event->modifiers() & (Qt::AltModifier | Qt::MetaModifier)))
        c = event->text().front();
    if (c.isNull()) {
        const int key = event->key();
        if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Home || key == Qt::Key_End)
            QLineEdit::keyPressEvent(event);
        else
            event->ignore();
        return;
    }
    if (keyPress)
        c = keyPress(c);

    switch (c.unicode()) {
    case 0x1b:  // Escape abandons the edit
        if (modified_) {
            const QString start = editStart_;
            setMaskedText(start);
            modified_ = false;
        } else {
            event->ignore();
        }
        return;
    case 0x08: {
        MaskText next = model_;
        int cursor = cursorPosition();
        if (hasSelectedText())
            ClearSelection(next, cursor);
        else
            cursor = next.Backspace(cursor);
        Apply(next, cursor, true);
        return;
    }
    case 0x03:
        copy();
        return;
    case 0x18:
        CutSelection();
        return;
    case 0x16:
        PasteClipboard();
        return;
    default:
        break;
    }
    if (c.unicode() < 0x20) {
        event->ignore();  // Enter and the like belong to the window
        return;
    }
    TypeChar(c);
}

void MaskEdit::focusInEvent(QFocusEvent *event)
{
    // Coming back after the leave check, or with the window, continues the same edit.
    const Qt::FocusReason reason = event->reason();
    if (!reentering_ && reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        editStart_ = model_.RawText();
    reentering_ = false;
    QLineEdit::focusInEvent(event);
}

void MaskEdit::focusOutEvent(QFocusEvent *event)
{
    QLineEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    // Only a move of the focus within the window checks the field, not a message box or a menu.
    if (!mask_.required || !modified_ || !model_.HasUnfilled() || reason == Qt::ActiveWindowFocusReason ||
        reason == Qt::PopupFocusReason)
        return;
    QApplication::beep();
    QTimer::singleShot(0, this, [this] {
        reentering_ = true;
        setFocus(Qt::OtherFocusReason);
        emit leftIncomplete();
    });
}

void MaskEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(tr("Cu&t"), this, &MaskEdit::CutSelection)->setEnabled(hasSelectedText() && isEnabled());
    menu.addAction(tr("&Copy"), this, &QLineEdit::copy)->setEnabled(hasSelectedText());
    menu.addAction(tr("&Paste"), this, &MaskEdit::PasteClipboard)->setEnabled(isEnabled());
    menu.addSeparator();
    menu.addAction(tr("Select &All"), this, &QLineEdit::selectAll);
    if (extendMenu)
        extendMenu(menu);
    menu.exec(event->globalPos());
}

}  // namespace widgets
