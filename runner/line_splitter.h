#pragma once
// The tool's output as lines: one splitter cuts the text at its line breaks as it arrives and hands
// each line to every watch, so no watch keeps pieces of its own. A line longer than the kept length
// reaches the watches cut, and memory stays bounded whatever the tool prints.
#include <QLatin1StringView>
#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <span>
#include <vector>

namespace runner {

class LineWatch {
public:
    virtual ~LineWatch() = default;
    // One line without its line break; `cut`: only its first LineSplitter::kKeptLength characters.
    virtual void seeLine(QStringView line, bool cut) = 0;
    // The output has ended; a last line without a line break was seen before this.
    virtual void finish() {}
    // Texts (ASCII, either case) of which a line must hold one for this watch to read it; a line
    // holding none goes to skipLine() instead. None at all: every line is read. A trace of many
    // megabytes then costs one scan a line for all watches, instead of every watch's patterns.
    virtual QList<QLatin1StringView> keys() const { return {}; }
    virtual void skipLine() {}
};

// Which of up to 64 keys a line holds, ASCII letters matched in either case, in one pass.
class KeyScan {
public:
    static constexpr int kMaxKeys = 64;
    int add(QLatin1StringView key);  // its bit; -1 when there is no room (then count it as found)
    quint64 scan(QStringView line) const;

private:
    std::array<quint64, 128> first_{};  // keys by their first character, lower case
    std::vector<QByteArray> keys_;
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
    void Hand(QStringView line, bool cut, std::span<LineWatch *const> watches);
    void Prepare(std::span<LineWatch *const> watches);

    QString partial_;
    bool cut_ = false;
    // The watches' keys, gathered when the set of watches changes.
    std::vector<LineWatch *> prepared_;
    std::vector<quint64> wants_;  // per watch: the bits of its keys; all bits when it reads every line
    KeyScan keys_;
};

}  // namespace runner
