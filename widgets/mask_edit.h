#pragma once
// A classic masked field: a fixed number of positions, typed over one at a time, an unfilled
// position shown as "_". Text set by code is kept whole, and `Change` fires only when the text
// really changes, whether the user or code changed it.
#include "fuses/mask_text.h"

#include <QLineEdit>
#include <QMenu>
#include <functional>
#include <optional>

namespace widgets {

class MaskEdit : public QLineEdit {
    Q_OBJECT
public:
    struct Mask {
        int positions;
        bool upper;       // letters forced to upper case
        bool digitsOnly;  // positions take decimal digits only
        bool required;    // every position must be filled when the user leaves the field
    };
    MaskEdit(const Mask &mask, const QString &initial, QWidget *parent);

    // The positions filled, unfilled ones left out; rawText() shows each unfilled one as "_".
    QString maskedText() const { return model_.Text(); }
    QString rawText() const { return model_.RawText(); }
    void setMaskedText(const QString &text);

    // Sees every character typed before the field handles it, control characters included.
    std::function<QChar(QChar)> keyPress;
    // Adds the field's own entries at the end of its context menu.
    std::function<void(QMenu &)> extendMenu;
    // Sees every pasted text first (Ctrl+V, Shift+Insert, the menu, the middle button): the whole
    // field's new text, or nothing to refuse the paste. Without it, pasted text is typed over the
    // positions from the caret on.
    std::function<std::optional<QString>(const QString &)> pasteFilter;

signals:
    void changed();
    // The user left the field with a required position unfilled; focus is already back.
    void leftIncomplete();
    // The paste filter refused this text; the field is as it was.
    void pasteRefused(const QString &text);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void Apply(const fuses::MaskText &next, int cursor, bool byUser);
    void Show(int cursor);
    void TypeChar(QChar c);
    void ClearSelection(fuses::MaskText &next, int &cursor) const;
    void CutSelection();
    void PasteClipboard();
    void PasteText(const QString &text);

    Mask mask_;
    fuses::MaskText model_;
    QString editStart_;  // the text when the user entered the field; Escape goes back to it
    bool modified_ = false;
    bool reentering_ = false;
};

}  // namespace widgets
