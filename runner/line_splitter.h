#pragma once
// The tool's output as lines: one splitter cuts the text at its line breaks as it arrives and hands
// each line to every watch, so no watch keeps pieces of its own. A line longer than the kept length
// reaches the watches cut, and memory stays bounded whatever the tool prints.
#include <QString>
#include <QStringView>

#include <span>

namespace runner {

class LineWatch {
public:
    virtual ~LineWatch() = default;
    // One line without its line break; `cut`: only its first LineSplitter::kKeptLength characters.
    virtual void seeLine(QStringView line, bool cut) = 0;
    // The output has ended; a last line without a line break was seen before this.
    virtual void finish() {}
};

class LineSplitter {
public:
    static constexpr qsizetype kKeptLength = 4096;

    void see(QStringView piece, std::span<LineWatch *const> watches);
    void see(QStringView piece, LineWatch &watch)
    {
        LineWatch *const one = &watch;
        see(piece, {&one, 1});
    }
    // The last line, when the output does not end in a line break; then every watch's finish().
    void finish(std::span<LineWatch *const> watches);
    void finish(LineWatch &watch)
    {
        LineWatch *const one = &watch;
        finish({&one, 1});
    }

    // The start of the line still arriving (what a progress bar draws before its line ends).
    QStringView partial() const { return partial_; }

private:
    QString partial_;
    bool cut_ = false;
};

}  // namespace runner
