#pragma once
// The whole output of a run, kept outside memory: the text as UTF-8 in an unnamed temporary file (it
// is gone with the program, whatever way the program ends), the latest part of it in memory until
// there is enough to write, and an index of where its rows start, built as the text arrives.
//
// A row is a line of the output, or a piece of a line longer than kRowBytes: laying out one paragraph
// of megabytes would freeze the window, so a long line is kept as several rows, each one continuing
// the row before it. The index costs four bytes a row and goes to a second unnamed file in blocks of
// kBlockRows rows, as the text does: what stays in memory is 16 bytes a block, and a few blocks read
// back for the rows in sight.
//
// Positions are byte offsets into the UTF-8 text; each row's text is decoded when it is asked for.
#include <QByteArray>
#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

class QIODevice;

namespace widgets {

class OutputStore {
public:
    static constexpr qint64 kRowBytes = 2048;
    static constexpr qint64 kMemoryBytes = 1 << 20;  // held in memory before it is written out
    // Left free on the temporary file's disk: past this, the rest of the output is not kept (and the
    // output says so), so that a tool printing without end cannot fill the user's disk.
    static constexpr qint64 kDiskReserve = qint64(256) << 20;

    OutputStore();
    ~OutputStore();
    OutputStore(const OutputStore &) = delete;
    OutputStore &operator=(const OutputStore &) = delete;

    void append(QStringView text);
    void clear();

    qint64 size() const { return size_; }
    qint64 rowCount() const { return rows_; }
    qint64 lineCount() const { return lines_; }
    qint64 rowStart(qint64 row) const;
    qint64 rowEnd(qint64 row) const;          // before its line break, if it has one
    bool continues(qint64 row) const;         // the row goes on from the row before (no line break)
    qint64 rowAt(qint64 offset) const;        // the row that holds the offset (its end included)
    qint64 rowOfLine(qint64 line) const;      // the first row of a line, counted from 0
    qint64 lineOfRow(qint64 row) const;

    QByteArray bytes(qint64 from, qint64 to) const;
    QString rowText(qint64 row) const { return QString::fromUtf8(bytes(rowStart(row), rowEnd(row))); }
    // The character column of an offset in a row (columns count UTF-16 units, as QString does).
    qsizetype columnOf(qint64 row, qint64 offset) const;

    // The first match at or after `from` (or the last one that starts before `from`, backwards);
    // -1 when there is none. Without `matchCase`, ASCII letters match either case.
    qint64 find(const QByteArray &needle, qint64 from, bool backward, bool matchCase) const;
    // How many matches there are in all, and how many of them start before `before`.
    struct Count {
        qint64 total = 0;
        qint64 before = 0;
    };
    Count count(const QByteArray &needle, qint64 before, bool matchCase) const;

    // Writes [from, to) to a device, in pieces; false when a write or read fails.
    bool copyTo(QIODevice &out, qint64 from, qint64 to) const;

    // Why the output is not whole, empty while it is.
    const QString &trouble() const { return trouble_; }

private:
    void Add(const char *data, qint64 length);
    void AddRow(qint64 start, bool continues);
    void CloseBlock();
    bool WriteOut();
    void GiveUp(const QString &why);
    quint32 Entry(qint64 row) const;
    const std::vector<quint32> &Closed(qint64 block) const;

    // Rows in blocks: a block's base offset and its first row's line; each row's offset from its
    // block's base, the top bit saying that it continues the row before. The last block is in
    // memory (open_), the others in the index file.
    static constexpr quint32 kContinuesBit = 0x80000000u;
    static constexpr qint64 kBlockRows = 4096;
    struct Block {
        qint64 base;
        qint64 firstLine;
    };
    std::vector<Block> blocks_;
    std::vector<quint32> open_;
    qint64 rows_ = 0;
    int indexFd_ = -1;
    bool indexFailed_ = false;
    QString indexTrouble_;
    std::vector<std::pair<qint64, std::vector<quint32>>> unwritten_;  // blocks the index file did not take
    struct Cached {
        qint64 block = -1;
        quint64 used = 0;
        std::vector<quint32> entries;
    };
    mutable std::array<Cached, 4> cache_;
    mutable quint64 uses_ = 0;
    qint64 lines_ = 0;
    qint64 size_ = 0;      // bytes taken
    qint64 written_ = 0;   // bytes in the file; the rest are in memory_
    QByteArray memory_;
    int fd_ = -1;
    qint64 sinceSpaceCheck_ = 0;
    bool givenUp_ = false;
    QString trouble_;
};

}  // namespace widgets
