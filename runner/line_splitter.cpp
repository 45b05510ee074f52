#include "runner/line_splitter.h"

namespace runner {

void LineSplitter::see(QStringView piece, std::span<LineWatch *const> watches)
{
    qsizetype from = 0;
    for (;;) {
        const qsizetype end = piece.indexOf(u'\n', from);
        const QStringView part = piece.mid(from, end < 0 ? piece.size() - from : end - from);
        const qsizetype room = kKeptLength - partial_.size();
        partial_ += part.left(room);
        cut_ = cut_ || part.size() > room;
        if (end < 0)
            return;
        for (LineWatch *watch : watches)
            watch->seeLine(partial_, cut_);
        partial_.clear();
        cut_ = false;
        from = end + 1;
    }
}

void LineSplitter::finish(std::span<LineWatch *const> watches)
{
    if (!partial_.isEmpty() || cut_)
        for (LineWatch *watch : watches)
            watch->seeLine(partial_, cut_);
    partial_.clear();
    cut_ = false;
    for (LineWatch *watch : watches)
        watch->finish();
}

}  // namespace runner
