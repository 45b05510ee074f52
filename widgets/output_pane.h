#pragma once
// The output pane: a read-only view over the whole output of a run, however long. The text lives in
// an OutputStore (a temporary file and an index of its rows); the pane lays out and paints only the
// rows in sight, wrapped at its width, and scrolls over all of them.
//
// It offers what a read-only text pane does: a caret, selection with the mouse and the keyboard,
// Copy and Select All (a selection past kClipboardBytes is saved to a file instead, when the user
// agrees), Ctrl+F to find a text in the whole output with a count, a marked line, "Save Output
// As..." and "Clear" in its context menu.
#include "widgets/output_store.h"

#include <QAbstractScrollArea>
#include <QTimer>

#include <functional>
#include <memory>
#include <unordered_map>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextLayout;
class QToolButton;

namespace widgets {

class OutputPane : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr qint64 kClipboardBytes = 16 << 20;
    explicit OutputPane(QWidget *parent);
    ~OutputPane() override;

    // At the end, without scrolling along; the view catches up at the next flush().
    void appendOutput(QStringView text);
    void flush();
    void showText(const QString &text);  // the whole text anew, shown from its start
    void beginOutput();                  // empty, and a new output begins

    const OutputStore &store() const { return store_; }
    QString outputText() const;  // the whole output: for small outputs (and tests)
    qint64 lineCount() const { return store_.lineCount(); }
    QString lineText(qint64 line) const;
    qint64 findLine(const QString &text) const;  // the first line holding the text; -1 if none

    // The caret: where the keyboard acts and the view follows. Setting it leaves the view alone.
    qint64 caretLine() const;
    qsizetype caretColumn() const;  // characters from its line's start
    void setCaretToLine(qint64 line);
    void showCaretAtEnd();       // the caret after the last character, in view
    void showCaretAtLine(qint64 line);  // at the line's start, in view

    // A line shown marked (the first error line); -1 for none.
    void markLine(qint64 line);
    qint64 markedLine() const { return markedLine_; }

    void selectAll();
    qint64 selectionLength() const { return selectionEnd() - selectionStart(); }
    QString selectedText() const;
    void copy();  // to the clipboard, or `copyTooLarge` past kClipboardBytes
    void saveSelection();
    void saveOutput();

    // Find, as the find bar does: true when found (and selected, in view).
    void openFind();
    bool findNext(const QString &text, bool backward = false);
    QLineEdit *findField() const { return findText_; }
    QString findCountText() const;

    // Asks where to save (titled by the action); empty when the user cancels. Tests put their own.
    std::function<QString()> saveDialog;
    // Asked before a save replaces a file that is there (its name, size and date said); true to replace.
    std::function<bool(const QString &question)> confirmReplace;

signals:
    void saveFailed(const QString &path);
    void copyTooLarge(qint64 bytes);  // the selection is bigger than the clipboard should take

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool eventFilter(QObject *watched, QEvent *event) override;  // the find field's keys

private:
    // A place in the view: a row, and how many of its wrapped lines are above it.
    struct Spot {
        qint64 row = 0;
        int line = 0;
    };
    QTextLayout &Layout(qint64 row) const;
    int Lines(qint64 row) const;
    int LineHeight() const;
    int VisibleLines() const;
    Spot Move(Spot from, qint64 lines) const;
    Spot LastPage() const;
    Spot SpotOf(qint64 offset) const;
    bool Before(Spot a, Spot b) const { return a.row < b.row || (a.row == b.row && a.line < b.line); }
    void ScrollTo(Spot top);
    void ScrollLines(qint64 lines);
    void UpdateScrollBar();
    void EnsureVisible(qint64 offset, bool withContext = false);
    qint64 OffsetAt(QPoint point) const;
    void MoveCaret(qint64 offset, bool select);
    qint64 VerticalStep(qint64 offset, qint64 lines) const;
    qint64 HorizontalStep(qint64 offset, int direction) const;
    qint64 OffsetInRow(qint64 row, int column) const;
    qint64 selectionStart() const { return std::min(caret_, anchor_); }
    qint64 selectionEnd() const { return std::max(caret_, anchor_); }
    void SaveRange(qint64 from, qint64 to);
    void PutSelection() const;
    void MakeFindBar();
    void PlaceFindBar();
    void CloseFind();
    void FindFromBar(bool backward);
    bool Find(const QString &text, bool backward, bool fromSelectionStart);

    OutputStore store_;
    Spot top_;
    qint64 caret_ = 0, anchor_ = 0;
    qint64 markedLine_ = -1;
    qint64 shownRows_ = 1;  // rows when the view last caught up with the output
    bool dragging_ = false;
    QPoint dragAt_;
    QTimer dragScroll_;
    bool settingScrollBar_ = false;
    bool dirty_ = false;     // appended to since the view last caught up
    int wheelAngle_ = 0;     // a touchpad's eighths of a degree not yet scrolled
    QString saveCaption_;

    mutable std::unordered_map<qint64, std::unique_ptr<QTextLayout>> layouts_;
    mutable int layoutWidth_ = -1;

    QWidget *findBar_ = nullptr;
    QLineEdit *findText_ = nullptr;
    QCheckBox *matchCase_ = nullptr;
    QLabel *findCount_ = nullptr;
    QPushButton *findNextButton_ = nullptr, *findPreviousButton_ = nullptr;
    QToolButton *findClose_ = nullptr;
    QTimer findAsTyped_;
    // The last search's count, kept while the search and the output stay the same.
    struct Found {
        QByteArray needle;
        bool matchCase = false;
        qint64 size = -1;
        qint64 at = -1;
        qint64 index = 0;
        qint64 total = 0;
    } found_;
};

}  // namespace widgets
