#pragma once
// The output pane: read-only, wrapping, appended to as output arrives. A line longer than
// kMaxBlockLength is held in several blocks of the document so that laying it out stays cheap (one
// wrapped paragraph of megabytes would freeze the window for minutes); outputText() gives the output's own
// text, those blocks joined again.
//
// Whatever the tool prints, the pane holds at most the first kHeadLength and the latest kTailLength
// characters, with a marked gap between them ("... 812 MB not shown ..."); everything appended goes
// to a temporary file too, from which "Save Output As..." saves the whole output.
#include <QPlainTextEdit>
#include <QTemporaryFile>

#include <functional>
#include <memory>

namespace widgets {

class OutputPane : public QPlainTextEdit {
    Q_OBJECT
public:
    static constexpr int kMaxBlockLength = 4096;
    static constexpr qsizetype kHeadLength = 256 * 1024;
    static constexpr qsizetype kTailLength = 1024 * 1024;
    explicit OutputPane(QWidget *parent);

    // At the end, without scrolling along. What is appended is shown at the next Flush (or at once
    // when it is a lot); meanwhile only as much of it is held as the pane can show.
    void appendOutput(QStringView text);
    void flush();
    void showText(const QString &text);  // the whole text anew, shown from its start
    void beginOutput();                       // empty, and a new output begins
    // Exactly what was appended, as long as nothing was left out; with a gap, what the pane shows.
    QString outputText() const;
    bool hasGap() const { return hidden_ > 0; }
    qsizetype hiddenLength() const { return hidden_; }  // characters left out of the pane
    // Everything appended since the output began, from the temporary file.
    QString wholeText() const;

    // Asks where to save the output; empty when the user cancels. Tests put their own.
    std::function<QString()> saveDialog;

signals:
    void saveFailed(const QString &path);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void SaveAs();
    void AppendBlocks(QStringView text);
    void Show(QStringView text);
    void Spool(QStringView text);
    void ShowGap();

    std::unique_ptr<QTemporaryFile> spool_;
    bool spoolFailed_ = false;
    qsizetype appended_ = 0;  // characters appended since the output began
    qsizetype hidden_ = 0;
    QString pending_;         // appended, not shown yet
    int tailStart_ = -1;      // document position where the latest part begins, after the gap's line

    static constexpr int kContinues = 1;  // block state: this block continues the previous line
};

}  // namespace widgets
