#include "fuses/mask_text.h"

namespace fuses {

MaskText::MaskText(int positions, bool upper, bool digitsOnly, QStringView initial)
    : positions_(positions), upper_(upper), digitsOnly_(digitsOnly)
{
    SetText(initial);
}

QChar MaskText::Shown(QChar c) const { return upper_ ? c.toUpper() : c; }

bool MaskText::Accepts(QChar c) const
{
    if (c == kUnfilled)
        return true;
    return digitsOnly_ ? (c >= u'0' && c <= u'9') : c.isPrint();
}

void MaskText::SetText(QStringView text)
{
    QString raw;
    raw.reserve(std::max<qsizetype>(text.size(), positions_));
    for (QChar c : text)
        raw += c == u' ' ? kUnfilled : Shown(c);
    while (raw.size() < positions_)
        raw += kUnfilled;
    raw_ = raw;
}

QString MaskText::Text() const
{
    qsizetype end = raw_.size();
    while (end > 0 && raw_[end - 1] == kUnfilled)
        --end;
    QString text = raw_.left(end);
    text.replace(kUnfilled, u' ');
    return text;
}

bool MaskText::HasUnfilled() const { return raw_.left(positions_).contains(kUnfilled); }

int MaskText::Type(int pos, QChar c)
{
    if (pos < 0 || pos >= raw_.size() || !Accepts(c))
        return pos;
    raw_[pos] = Shown(c);
    return pos + 1;
}

int MaskText::Clear(int from, int to)
{
    from = std::max(from, 0);
    to = std::min<int>(to, raw_.size());
    for (int i = from; i < to; ++i)
        raw_[i] = kUnfilled;
    return from;
}

int MaskText::Backspace(int pos)
{
    if (pos <= 0)
        return 0;
    return Clear(pos - 1, pos);
}

int MaskText::Paste(int pos, QStringView text)
{
    for (QChar c : text) {
        if (pos >= raw_.size())
            break;
        if (!Accepts(c))
            continue;
        raw_[pos++] = Shown(c);
    }
    return pos;
}

}  // namespace fuses
