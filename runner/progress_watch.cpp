#include "runner/progress_watch.h"

#include <QRegularExpression>

namespace runner {

void ProgressWatch::see(const QString &piece)
{
    static const QRegularExpression caption(QStringLiteral("(Reading|Writing) \\| "));
    static const QRegularExpression shown(QStringLiteral("\\| (\\d{1,3})% "));
    QString text = (inBar_ ? bar_ : bar_.right(16)) + piece;
    // Only the last bar counts; a caption split between two pieces is found in the kept tail.
    const qsizetype at = text.lastIndexOf(caption);
    if (at < 0 && !inBar_) {
        bar_ = text.right(16);
        return;
    }
    if (at >= 0) {
        text = text.mid(at);
        inBar_ = true;
    }
    bar_ = text;
    const qsizetype start = bar_.indexOf(u'|') + 2;
    const qsizetype lineEnd = bar_.indexOf(u'\n', start);
    const QString line = bar_.mid(start, lineEnd < 0 ? -1 : lineEnd - start);
    // The bar's own figure where it shows one, otherwise one "#" for every 2 %.
    const QRegularExpressionMatch figure = shown.match(line);
    percent_ = figure.hasMatch() ? figure.captured(1).toInt()
                                 : std::min<int>(100, 2 * static_cast<int>(line.count(u'#')));
    if (lineEnd >= 0) {
        // A finished bar leaves nothing being drawn until the next caption; a terminal's bar line that
        // stops short of 100 % is redrawn next, so its figure stands meanwhile.
        inBar_ = false;
        if (percent_ >= 100 || !figure.hasMatch())
            percent_ = -1;
        bar_ = bar_.mid(lineEnd).right(16);
    }
}

}  // namespace runner
