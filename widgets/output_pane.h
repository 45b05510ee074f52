#pragma once
// The output pane: read-only, wrapping, appended to as output arrives. A line longer than
// kMaxBlockLength is held in several blocks of the document so that laying it out stays cheap (one
// wrapped paragraph of megabytes would freeze the window for minutes); Text() gives the output's own
// text, those blocks joined again.
#include <QPlainTextEdit>

#include <functional>

namespace widgets {

class OutputPane : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int kMaxBlockLength = 4096;
    explicit OutputPane(QWidget *parent);

    void Append(QStringView text);      // at the end, without scrolling along
    void SetText(const QString &text);  // the whole text anew, shown from its start
    QString Text() const;               // exactly what was appended

    // Asks where to save the output; empty when the user cancels. Tests put their own.
    std::function<QString()> saveDialog;

signals:
    void SaveFailed(const QString &path);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void SaveAs();

    static constexpr int kContinues = 1;  // block state: this block continues the previous line
};

}  // namespace widgets
