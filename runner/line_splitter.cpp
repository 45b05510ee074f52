#include "runner/line_splitter.h"

namespace runner {

namespace {

constexpr char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

}  // namespace

int KeyScan::add(QLatin1StringView key)
{
    if (key.isEmpty() || keys_.size() >= kMaxKeys)
        return -1;
    QByteArray lower(key.data(), key.size());
    for (char &c : lower)
        c = char(Lower(char16_t(uchar(c))));
    const int bit = int(keys_.size());
    keys_.push_back(lower);
    if (uchar(lower[0]) < 128)
        first_[uchar(lower[0])] |= quint64(1) << bit;
    return bit;
}

quint64 KeyScan::scan(QStringView line) const
{
    quint64 found = 0;
    const char16_t *text = line.utf16();
    const qsizetype length = line.size();
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t c = Lower(text[i]);
        if (c >= 128)
            continue;
        for (quint64 maybe = first_[c] & ~found; maybe; maybe &= maybe - 1) {
            const int bit = __builtin_ctzll(maybe);
            const QByteArray &key = keys_[std::size_t(bit)];
            if (key.size() > length - i)
                continue;
            qsizetype k = 1;
            while (k < key.size() && Lower(text[i + k]) == char16_t(uchar(key[k])))
                ++k;
            if (k == key.size())
                found |= quint64(1) << bit;
        }
    }
    return found;
}

void LineSplitter::Prepare(std::span<LineWatch *const> watches)
{
    if (std::equal(watches.begin(), watches.end(), prepared_.begin(), prepared_.end()))
        return;
    prepared_.assign(watches.begin(), watches.end());
    keys_ = KeyScan();
    wants_.clear();
    for (LineWatch *watch : watches) {
        quint64 bits = 0;
        const QList<QLatin1StringView> keys = watch->keys();
        for (QLatin1StringView key : keys) {
            const int bit = keys_.add(key);
            bits |= bit < 0 ? ~quint64(0) : quint64(1) << bit;
        }
        wants_.push_back(keys.isEmpty() ? ~quint64(0) : bits);
    }
}

void LineSplitter::Hand(QStringView line, bool cut, std::span<LineWatch *const> watches)
{
    Prepare(watches);
    quint64 found = 0;
    bool scanned = false;
    for (std::size_t i = 0; i < watches.size(); ++i) {
        if (wants_[i] != ~quint64(0) && !scanned) {
            found = keys_.scan(line);
            scanned = true;
        }
        if (wants_[i] == ~quint64(0) || (wants_[i] & found))
            watches[i]->seeLine(line, cut);
        else
            watches[i]->skipLine();
    }
}

void LineSplitter::see(QStringView piece, std::span<LineWatch *const> watches)
{
    qsizetype from = 0;
    for (;;) {
        const qsizetype end = piece.indexOf(u'\n', from);
        const QStringView part = piece.mid(from, end < 0 ? piece.size() - from : end - from);
        if (end >= 0 && partial_.isEmpty() && !cut_) {
            // A whole line within the piece: read where it stands.
            const bool cut = part.size() > kKeptLength;
            Hand(part.left(kKeptLength), cut, watches);
            from = end + 1;
            continue;
        }
        const qsizetype room = kKeptLength - partial_.size();
        partial_ += part.left(room);
        cut_ = cut_ || part.size() > room;
        if (end < 0)
            return;
        Hand(partial_, cut_, watches);
        partial_.clear();
        cut_ = false;
        from = end + 1;
    }
}

void LineSplitter::finish(std::span<LineWatch *const> watches)
{
    if (!partial_.isEmpty() || cut_)
        Hand(partial_, cut_, watches);
    partial_.clear();
    cut_ = false;
    for (LineWatch *watch : watches)
        watch->finish();
}

}  // namespace runner
