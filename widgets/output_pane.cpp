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
    menu->addAction(QStringLiteral("Clear"), this, &QPlainTextEdit::clear)->setEnabled(!document()->isEmpty());
    menu->exec(event->globalPos());
}

void OutputPane::SaveAs()
{
    const QString path = saveDialog();
    if (path.isEmpty())
        return;
    // The output exactly as avrdude printed it (line breaks as LF), whole or not at all.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(Text().toUtf8()) < 0 || !file.commit())
        emit SaveFailed(path);
}

void OutputPane::Append(QStringView text)
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

void OutputPane::SetText(const QString &text)
{
    clear();
    Append(text);
    moveCursor(QTextCursor::Start);
}

QString OutputPane::Text() const
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
