#pragma once
// Small adaptations of Qt's controls to the window's rules.
#include <QComboBox>
#include <QCompleter>
#include <QPushButton>

namespace widgets {

// An editable combo box whose change fires for each keystroke and each pick from the list, and
// whose item index set from code fires nothing and, at -1, keeps the text it shows.
class ComboBox : public QComboBox {
    Q_OBJECT
public:
    ComboBox(const QStringList &items, const QString &text, QWidget *parent);
    // The entries' indexes, texts and search are the list's own: the leading entries (below) stand
    // outside them.
    int itemIndex() const;
    void setItemIndex(int index);
    QStringList items() const;
    void setItems(const QStringList &list);  // keeps the text; runs no handler
    int findText(const QString &text, Qt::MatchFlags flags = Qt::MatchExactly | Qt::MatchCaseSensitive) const;

    // Entries shown above the list, each a text with a note ("usbasp" and "USBasp, attached"): a
    // pick puts the text alone in the field. Keeps the text; runs no handler.
    void setLeading(const QList<QPair<QString, QString>> &entries);
    int leadingCount() const { return int(leading_.size()); }
    // A note shown after each entry of the list whose text is a key ("/dev/ttyACM0" and "Arduino
    // UNO"), and its tooltip; the field holds the text alone.
    void setNotes(const QHash<QString, QString> &notes, const QHash<QString, QString> &tips = {});
    static constexpr int kNoteRole = Qt::UserRole + 40;

signals:
    void changed();
    void popupAboutToShow();  // the list is about to open: a chance to bring its entries up to date

public:
    void showPopup() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ShowNotes();
    QList<QPair<QString, QString>> leading_;
    QHash<QString, QString> notes_, tips_;
};

// A click outside the completer's filter list closes the list and still reaches what it was aimed
// at (a popup eats the click that closes it: the next box would be missed, and the text typed next
// land in the first).
void LetClicksThrough(QCompleter *completer);

// The open list of `box` as wide as its longest entry, none of them cut short.
void FitListToEntries(QComboBox *box);

// The hues of the Read and Write captions.
inline const QColor kReadHue{0, 128, 0};
inline const QColor kWriteHue{255, 0, 0};

// The hue of warnings and errors, and of marked output lines.
inline const QColor kErrorHue{192, 0, 0};
inline const QColor kMarkHue{255, 200, 0};

// The contrast of two colours as the accessibility guidelines define it (1 to 21).
double ContrastRatio(const QColor &a, const QColor &b);
// `hue` made darker or lighter, as the background asks, until it reaches `ratio` against it.
QColor ReadableOn(const QColor &hue, const QColor &background, double ratio = 4.5);
// `share` (0 to 1) of `hue` mixed into `background`: a band that stays light on a light palette
// and dark on a dark one.
QColor Mixed(const QColor &background, const QColor &hue, double share);
// The text of `widget` in `hue`, kept readable on its background whenever the palette changes
// (a theme switched from light to dark).
void Tint(QWidget *widget, const QColor &hue);

// A flat button with a caption in its colour, kept readable on the palette's
// window background, light or dark.
class SpeedButton : public QPushButton {
    Q_OBJECT
public:
    SpeedButton(const QString &caption, const QColor &color, QWidget *parent);

protected:
    void changeEvent(QEvent *event) override;
    // A flat button draws no focus of its own in most styles: the keyboard's place is framed here.
    void paintEvent(QPaintEvent *event) override;

private:
    void FollowPalette();
    QColor hue_;
};

}  // namespace widgets
