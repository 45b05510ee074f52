#include "widgets/output_store.h"

#include <QByteArrayMatcher>
#include <QDir>
#include <QFile>
#include <QIODevice>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace widgets {

namespace {

// An unnamed file in the temporary folder: nothing is left behind, even after a crash.
int OpenUnnamed()
{
    const QString temp = QDir::tempPath();  // empty when $TMPDIR names no folder
    const QByteArray dir = QFile::encodeName(temp.isEmpty() ? QStringLiteral("/tmp") : temp);
    int fd = ::open(dir.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    // A file system without unnamed files: a named one, unlinked at once.
    QByteArray name = dir + "/fusewerk-output-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0)
        ::unlink(name.constData());
    return fd;
}

QString NoFile() { return QStringLiteral("no temporary file could be made in %1").arg(QDir::tempPath()); }

QString NotWritten()
{
    return QStringLiteral("the temporary file could not be written (%1)").arg(QString::fromLocal8Bit(std::strerror(errno)));
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; }

void LowerAscii(QByteArray &bytes)
{
    for (char &c : bytes)
        c = Lower(c);
}

constexpr qint64 kScanPiece = 4 << 20;

}  // namespace

OutputStore::OutputStore() { clear(); }

OutputStore::~OutputStore()
{
    for (int fd : {fd_, indexFd_})
        if (fd >= 0)
            ::close(fd);
}

void OutputStore::clear()
{
    for (int fd : {fd_, indexFd_})
        if (fd >= 0)
            ::close(fd);
    fd_ = indexFd_ = -1;
    blocks_ = {};
    open_ = {};
    open_.reserve(kBlockRows);
    rows_ = 0;
    indexFailed_ = false;
    indexTrouble_.clear();
    unwritten_.clear();
    cache_ = {};
    memory_ = QByteArray();
    size_ = written_ = sinceSpaceCheck_ = 0;
    givenUp_ = false;
    trouble_.clear();
    lines_ = 0;
    AddRow(0, false);  // an empty output is one empty line
}

void OutputStore::AddRow(qint64 start, bool continues)
{
    if (qint64(open_.size()) == kBlockRows)
        CloseBlock();
    if (open_.empty())
        blocks_.push_back({start, lines_});
    open_.push_back(quint32(start - blocks_.back().base) | (continues ? kContinuesBit : 0));
    ++rows_;
    if (!continues)
        ++lines_;
}

void OutputStore::CloseBlock()
{
    const qint64 block = qint64(blocks_.size()) - 1;
    const std::size_t bytes = open_.size() * sizeof(quint32);
    if (!indexFailed_ && indexFd_ < 0 && (indexFd_ = OpenUnnamed()) < 0) {
        indexFailed_ = true;
        indexTrouble_ = NoFile();
    }
    if (!indexFailed_ &&
        ::pwrite(indexFd_, open_.data(), bytes, block * kBlockRows * qint64(sizeof(quint32))) != ssize_t(bytes)) {
        indexFailed_ = true;
        indexTrouble_ = NotWritten();
    }
    if (indexFailed_)
        unwritten_.emplace_back(block, open_);  // kept here; the output stops being kept soon after
    open_.clear();
}

const std::vector<quint32> &OutputStore::Closed(qint64 block) const
{
    for (const auto &[number, entries] : unwritten_)
        if (number == block)
            return entries;
    Cached *slot = &cache_[0];
    for (Cached &cached : cache_) {
        if (cached.block == block) {
            cached.used = ++uses_;
            return cached.entries;
        }
        if (cached.used < slot->used)
            slot = &cached;
    }
    slot->block = block;
    slot->used = ++uses_;
    slot->entries.assign(std::size_t(kBlockRows), 0);
    const std::size_t bytes = slot->entries.size() * sizeof(quint32);
    if (::pread(indexFd_, slot->entries.data(), bytes, block * kBlockRows * qint64(sizeof(quint32))) != ssize_t(bytes))
        std::fill(slot->entries.begin(), slot->entries.end(), 0);  // unreadable: its rows show empty
    return slot->entries;
}

quint32 OutputStore::Entry(qint64 row) const
{
    const qint64 block = row / kBlockRows;
    const std::size_t at = std::size_t(row % kBlockRows);
    return block == qint64(blocks_.size()) - 1 ? open_[at] : Closed(block)[at];
}

qint64 OutputStore::rowStart(qint64 row) const
{
    return blocks_[std::size_t(row / kBlockRows)].base + (Entry(row) & ~kContinuesBit);
}

bool OutputStore::continues(qint64 row) const { return Entry(row) & kContinuesBit; }

qint64 OutputStore::rowEnd(qint64 row) const
{
    if (row + 1 >= rowCount())
        return size_;
    return rowStart(row + 1) - (continues(row + 1) ? 0 : 1);
}

qint64 OutputStore::rowAt(qint64 offset) const
{
    offset = std::clamp<qint64>(offset, 0, size_);
    // The last block whose base is at or before the offset, then the last row in it that starts there.
    const auto block = std::upper_bound(blocks_.begin(), blocks_.end(), offset,
                                        [](qint64 value, const Block &b) { return value < b.base; }) - 1;
    const qint64 first = (block - blocks_.begin()) * kBlockRows;
    const qint64 last = std::min(first + kBlockRows, rowCount());
    qint64 lo = first, hi = last;  // rows [lo, hi): find the last one starting at or before offset
    while (hi - lo > 1) {
        const qint64 mid = (lo + hi) / 2;
        if (rowStart(mid) <= offset)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

qint64 OutputStore::lineOfRow(qint64 row) const
{
    const qint64 block = row / kBlockRows;
    qint64 line = blocks_[std::size_t(block)].firstLine;
    // The block's first row begins a line unless it continues one: then it belongs to the line before.
    for (qint64 r = block * kBlockRows; r <= row; ++r)
        if (!continues(r))
            ++line;
    return line - 1;
}

qint64 OutputStore::rowOfLine(qint64 line) const
{
    line = std::clamp<qint64>(line, 0, lines_ - 1);
    const auto block = std::upper_bound(blocks_.begin(), blocks_.end(), line,
                                        [](qint64 value, const Block &b) { return value < b.firstLine; });
    // Blocks whose first line is at or below `line`: the line starts in the last of them, or in the
    // one after the last that starts below it.
    qint64 b = std::max<qint64>(0, (block - blocks_.begin()) - 1);
    qint64 seen = blocks_[std::size_t(b)].firstLine;
    for (qint64 r = b * kBlockRows; r < rowCount(); ++r)
        if (!continues(r) && seen++ == line)
            return r;
    return rowCount() - 1;
}

QByteArray OutputStore::bytes(qint64 from, qint64 to) const
{
    from = std::clamp<qint64>(from, 0, size_);
    to = std::clamp<qint64>(to, from, size_);
    QByteArray out(to - from, Qt::Uninitialized);
    qint64 at = from;
    char *into = out.data();
    if (at < written_) {
        const qint64 want = std::min(to, written_) - at;
        qint64 got = 0;
        while (got < want) {
            const ssize_t n = ::pread(fd_, into + got, std::size_t(want - got), at + got);
            if (n <= 0)
                break;
            got += n;
        }
        if (got < want)
            std::memset(into + got, '?', std::size_t(want - got));  // a read error shows as such
        into += want;
        at += want;
    }
    if (at < to)
        std::memcpy(into, memory_.constData() + (at - written_), std::size_t(to - at));
    return out;
}

qsizetype OutputStore::columnOf(qint64 row, qint64 offset) const
{
    return QString::fromUtf8(bytes(rowStart(row), std::clamp(offset, rowStart(row), rowEnd(row)))).size();
}

void OutputStore::append(QStringView text)
{
    if (text.isEmpty() || givenUp_)
        return;
    const QByteArray utf8 = text.toUtf8();
    Add(utf8.constData(), utf8.size());
}

void OutputStore::Add(const char *data, qint64 length)
{
    const qint64 chunkStart = size_;
    memory_.append(data, length);
    size_ += length;
    const auto byteAt = [&](qint64 offset) {
        return offset >= chunkStart ? data[offset - chunkStart] : bytes(offset, offset + 1).at(0);
    };
    // Rows: one after each line break, and one every kRowBytes of a longer line (at a character's
    // start, so that every row decodes alone).
    qint64 rowStart = this->rowStart(rowCount() - 1);
    qint64 at = chunkStart;
    while (at < size_) {
        const void *found = std::memchr(data + (at - chunkStart), '\n', std::size_t(size_ - at));
        const qint64 lineEnd = found ? chunkStart + (static_cast<const char *>(found) - data) : size_;
        while (lineEnd - rowStart > kRowBytes) {
            qint64 cut = rowStart + kRowBytes;
            while (cut < lineEnd && (byteAt(cut) & 0xC0) == 0x80)
                ++cut;
            if (cut >= lineEnd)
                break;
            AddRow(cut, true);
            rowStart = cut;
        }
        if (!found)
            break;
        AddRow(lineEnd + 1, false);
        rowStart = at = lineEnd + 1;
    }
    if (!givenUp_ && indexFailed_)
        GiveUp(indexTrouble_);
    else if (!givenUp_ && memory_.size() >= kMemoryBytes)
        WriteOut();
}

bool OutputStore::WriteOut()
{
    if (fd_ < 0 && (fd_ = OpenUnnamed()) < 0) {
        GiveUp(NoFile());
        return false;
    }
    // Now and then, the room left on the disk.
    sinceSpaceCheck_ += memory_.size();
    if (sinceSpaceCheck_ >= (64 << 20) || written_ == 0) {
        sinceSpaceCheck_ = 0;
        struct statvfs disk {};
        if (::fstatvfs(fd_, &disk) == 0 && qint64(disk.f_bavail) * qint64(disk.f_frsize) < kDiskReserve + memory_.size()) {
            GiveUp(QStringLiteral("less than %1 MB is left free in %2").arg(kDiskReserve >> 20).arg(QDir::tempPath()));
            return false;
        }
    }
    qint64 done = 0;
    while (done < memory_.size()) {
        const ssize_t n = ::pwrite(fd_, memory_.constData() + done, std::size_t(memory_.size() - done), written_ + done);
        if (n <= 0) {
            if (n < 0 && errno == EINTR)
                continue;
            GiveUp(NotWritten());
            return false;
        }
        done += n;
    }
    written_ += memory_.size();
    memory_.resize(0);  // its room stays for what comes next
    return true;
}

void OutputStore::GiveUp(const QString &why)
{
    // What is in memory stays there (it is no more than kMemoryBytes); the rest is counted out.
    trouble_ = QStringLiteral("The output from here on was not kept: %1.").arg(why);
    const QByteArray notice = (size_ > 0 && rowStart(rowCount() - 1) != size_ ? "\n" : "") + trouble_.toUtf8() + "\n";
    givenUp_ = true;
    Add(notice.constData(), notice.size());
}

qint64 OutputStore::find(const QByteArray &needle, qint64 from, bool backward, bool matchCase) const
{
    if (needle.isEmpty() || needle.size() > size_)
        return -1;
    QByteArray key = needle;
    if (!matchCase)
        LowerAscii(key);
    const QByteArrayMatcher matcher(key);
    const qint64 overlap = key.size() - 1;
    if (!backward) {
        for (qint64 at = std::max<qint64>(0, from); at < size_; at += kScanPiece) {
            QByteArray piece = bytes(at, at + kScanPiece + overlap);
            if (!matchCase)
                LowerAscii(piece);
            if (const qsizetype i = matcher.indexIn(piece); i >= 0)
                return at + i;
        }
        return -1;
    }
    // Backwards: pieces from the end, each matched from its own end.
    for (qint64 end = std::min(from + overlap, size_); end > overlap;) {
        const qint64 at = std::max<qint64>(0, end - kScanPiece - overlap);
        QByteArray piece = bytes(at, end);
        if (!matchCase)
            LowerAscii(piece);
        // Every match in the piece starts before `from`: the piece ends `overlap` bytes past it.
        if (const qsizetype i = piece.lastIndexOf(key); i >= 0)
            return at + i;
        end = at + overlap;
        if (at == 0)
            break;
    }
    return -1;
}

OutputStore::Count OutputStore::count(const QByteArray &needle, qint64 before, bool matchCase) const
{
    Count n;
    if (needle.isEmpty())
        return n;
    QByteArray key = needle;
    if (!matchCase)
        LowerAscii(key);
    const QByteArrayMatcher matcher(key);
    // Matches that do not overlap, as they are stepped through one by one.
    qint64 next = 0;
    for (qint64 at = 0; at < size_; at += kScanPiece) {
        QByteArray piece = bytes(at, at + kScanPiece + key.size() - 1);
        if (!matchCase)
            LowerAscii(piece);
        for (qsizetype i = matcher.indexIn(piece, std::max<qint64>(0, next - at)); i >= 0 && i < kScanPiece;
             i = matcher.indexIn(piece, i + key.size())) {
            ++n.total;
            if (at + i < before)
                ++n.before;
            next = at + i + key.size();
        }
    }
    return n;
}

bool OutputStore::copyTo(QIODevice &out, qint64 from, qint64 to) const
{
    for (qint64 at = from; at < to; at += kScanPiece) {
        const QByteArray piece = bytes(at, std::min(to, at + kScanPiece));
        if (out.write(piece) != piece.size())
            return false;
    }
    return true;
}

}  // namespace widgets
