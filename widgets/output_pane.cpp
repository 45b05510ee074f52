#include "widgets/output_pane.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QMenu>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextCursor>

#include <memory>

namespace widgets {

OutputPane::OutputPane(QWidget *parent) : QPlainTextEdit(parent)
{
    saveDialog = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save Output As"), QString(),
                                            QStringLiteral("Text files (*.txt);;All files (*)"));
    };
}

void OutputPane::contextMenuEvent(QContextMenuEvent *event)
{
    std::unique_ptr<QMenu> menu(createStandardContextMenu(event->pos()));
    menu->addSeparator();
    menu->addAction(QStringLiteral("Save Output As..."), this, &OutputPane::SaveAs)->setEnabled(!document()->isEmpty());
    menu->addAction(QStringLiteral("Clear"), this, &OutputPane::beginOutput)->setEnabled(!document()->isEmpty());
    menu->exec(event->globalPos());
}

void OutputPane::SaveAs()
{
    const QString path = saveDialog();
    if (path.isEmpty())
        return;
    flush();
    // The output exactly as avrdude printed it (line breaks as LF), whole or not at all; past the
    // pane's bound, copied from the temporary file.
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok && hasGap() && spool_ && !spoolFailed_) {
        spool_->flush();
        QFile whole(spool_->fileName());
        ok = whole.open(QIODevice::ReadOnly);
        while (ok && !whole.atEnd()) {
            const QByteArray chunk = whole.read(1 << 20);
            ok = !chunk.isEmpty() && file.write(chunk) == chunk.size();
        }
    } else if (ok) {
        ok = file.write(outputText().toUtf8()) >= 0;
    }
    if (!ok || !file.commit())
        emit saveFailed(path);
}

QString OutputPane::wholeText() const
{
    if (!spool_ || spoolFailed_)
        return outputText();
    spool_->flush();
    QFile whole(spool_->fileName());
    return whole.open(QIODevice::ReadOnly) ? QString::fromUtf8(whole.readAll()) : outputText();
}

void OutputPane::beginOutput()
{
    clear();
    spool_.reset();
    spoolFailed_ = false;
    appended_ = hidden_ = 0;
    tailStart_ = -1;
    pending_.clear();
}

void OutputPane::Spool(QStringView text)
{
    if (spoolFailed_)
        return;
    if (!spool_) {
        spool_ = std::make_unique<QTemporaryFile>();
        spoolFailed_ = !spool_->open();
    }
    const QByteArray bytes = text.toUtf8();
    spoolFailed_ = spoolFailed_ || spool_->write(bytes) != bytes.size();
}

void OutputPane::appendOutput(QStringView text)
{
    if (text.isEmpty())
        return;
    Spool(text);
    appended_ += text.size();
    pending_ += text;
    if (tailStart_ >= 0 && pending_.size() > kTailLength) {
        // Past the gap only the latest part is shown: the rest need not wait to be shown and removed.
        hidden_ += pending_.size() - kTailLength;
        pending_.remove(0, pending_.size() - kTailLength);
    } else if (tailStart_ < 0 && pending_.size() > kHeadLength + kTailLength) {
        flush();  // enough to open the gap
    }
}

void OutputPane::flush()
{
    if (pending_.isEmpty())
        return;
    const QString text = std::move(pending_);
    pending_.clear();
    Show(text);
}

void OutputPane::Show(QStringView text)
{
    if (tailStart_ < 0 && document()->characterCount() + text.size() <= kHeadLength + kTailLength) {
        AppendBlocks(text);
        return;
    }
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    if (tailStart_ < 0) {
        // The bound is reached: the first kHeadLength characters stay, a line for the gap follows,
        // and the rest is the latest part.
        cursor.setPosition(std::min<int>(kHeadLength, document()->characterCount() - 1));
        cursor.insertBlock();
        cursor.insertBlock();
        tailStart_ = cursor.position();
    }
    // A piece longer than the latest part replaces it; its start is left out.
    if (text.size() >= kTailLength) {
        cursor.setPosition(tailStart_);
        cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        hidden_ += cursor.selectionEnd() - cursor.selectionStart();
        cursor.removeSelectedText();
        hidden_ += text.size() - kTailLength;
        text = text.right(kTailLength);
    }
    AppendBlocks(text);
    // Left out from the latest part's start: as much as it outgrew its bound.
    const qsizetype excess = document()->characterCount() - 1 - tailStart_ - kTailLength;
    if (excess > 0) {
        cursor.setPosition(tailStart_);
        cursor.setPosition(tailStart_ + static_cast<int>(excess), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        hidden_ += excess;
    }
    cursor.endEditBlock();
    ShowGap();
}

void OutputPane::ShowGap()
{
    // The gap's line, just before the latest part.
    QTextCursor line(document()->findBlock(tailStart_ - 1));
    line.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    const double mb = static_cast<double>(hidden_) / 1e6;
    line.insertText(QStringLiteral("... %1 MB not shown (\"Save Output As...\" saves the whole output) ...")
                        .arg(QString::number(mb, 'f', mb < 10 ? 1 : 0)));
    tailStart_ = line.position() + 1;
}

void OutputPane::AppendBlocks(QStringView text)
{
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    // Usually every line fits in a block: the whole piece goes in at once.
    qsizetype longest = end.block().length() - 1, run = longest;
    for (const QChar c : text) {
        run = c == u'\n' ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    if (longest <= kMaxBlockLength) {
        end.insertText(text.toString());
        return;
    }
    end.beginEditBlock();
    while (!text.isEmpty()) {
        const qsizetype lineEnd = text.indexOf(u'\n');
        const QStringView line = lineEnd < 0 ? text : text.left(lineEnd);
        QStringView rest = line;
        while (!rest.isEmpty()) {
            qsizetype room = kMaxBlockLength - end.block().length() + 1;
            if (room <= 0) {
                end.insertBlock();
                end.block().setUserState(kContinues);
                room = kMaxBlockLength;
            }
            end.insertText(rest.left(room).toString());
            rest = rest.mid(std::min(room, rest.size()));
        }
        if (lineEnd < 0)
            break;
        end.insertBlock();
        end.block().setUserState(-1);
        text = text.mid(lineEnd + 1);
    }
    end.endEditBlock();
}

void OutputPane::showText(const QString &text)
{
    beginOutput();
    appendOutput(text);
    flush();
    moveCursor(QTextCursor::Start);
}

QString OutputPane::outputText() const
{
    QString out;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        if (block != document()->begin() && block.userState() != kContinues)
            out += u'\n';
        out += block.text();
    }
    return out;
}

}  // namespace widgets
