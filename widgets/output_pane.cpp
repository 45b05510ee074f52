#include "widgets/output_pane.h"

#include <QTextBlock>
#include <QTextCursor>

namespace widgets {

OutputPane::OutputPane(QWidget *parent) : QPlainTextEdit(parent) {}

void OutputPane::Append(QStringView text)
{
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
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
