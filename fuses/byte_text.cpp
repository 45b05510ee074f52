#include "fuses/byte_text.h"

#include <QRegularExpression>

#include <limits>

namespace fuses {
namespace {

int DigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'z')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'Z')
        return u - 'A' + 10;
    return 99;
}

bool IsBlank(QChar c)
{
    // The C library's white space: blank, tab, line feed, vertical tab, form feed, carriage return.
    const char16_t u = c.unicode();
    return u == ' ' || (u >= '\t' && u <= '\r');
}

// "0x" or "0X" followed by a hexadecimal digit; a bare "0x" reads as the number 0.
bool HasHexPrefix(QStringView text, qsizetype pos)
{
    return pos + 2 < text.size() && text[pos] == u'0' && (text[pos + 1] == u'x' || text[pos + 1] == u'X') &&
           DigitValue(text[pos + 2]) < 16;
}

// Reads an unsigned number in `base` at `pos`; returns false when no digit stands there.
bool ReadDigits(QStringView text, qsizetype &pos, int base, std::int64_t &value)
{
    const qsizetype start = pos;
    value = 0;
    while (pos < text.size() && DigitValue(text[pos]) < base) {
        if (value <= std::numeric_limits<std::int64_t>::max() / 64)
            value = value * base + DigitValue(text[pos]);
        ++pos;
    }
    return pos > start;
}

}  // namespace

std::int32_t ReadNumber(QStringView text, int base)
{
    qsizetype pos = 0;
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-'))
        negative = text[pos++] == u'-';
    if (base == 16 && HasHexPrefix(text, pos))
        pos += 2;
    std::int64_t value = 0;
    ReadDigits(text, pos, base, value);
    if (negative)
        value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

QString FixedWidthText(std::int32_t value, int base)
{
    const std::uint32_t sum = static_cast<std::uint32_t>(value) + 256u;
    return QString::number(sum, base).mid(1);
}

std::vector<std::uint32_t> ScanHexList(QStringView line, int count)
{
    std::vector<std::uint32_t> values(static_cast<std::size_t>(count), 0);
    qsizetype pos = 0;
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            if (pos >= line.size() || line[pos] != u',')
                break;
            ++pos;
        }
        if (pos + 1 >= line.size() || line[pos] != u'0' || line[pos + 1] != u'x')
            break;
        pos += 2;
        while (pos < line.size() && IsBlank(line[pos]))
            ++pos;
        // A "%x" conversion also takes its own optional 0x prefix.
        if (HasHexPrefix(line, pos))
            pos += 2;
        std::int64_t value = 0;
        if (!ReadDigits(line, pos, 16, value))
            break;
        values[static_cast<std::size_t>(i)] = static_cast<std::uint32_t>(value);
    }
    return values;
}

QString HexListText(const std::vector<std::uint32_t> &values)
{
    QString out;
    for (std::uint32_t v : values)
        out += FixedWidthText(static_cast<std::int32_t>(v), 16);
    return out;
}

std::optional<int> ParseByteText(QStringView text)
{
    static const QRegularExpression byte(QStringLiteral("^\\s*(0[xX]|\\$)?([0-9A-Fa-f]{1,2})([hH])?\\s*$"));
    const auto match = byte.match(text);
    // A prefix and a suffix together ("0xE1h") is no form anyone writes.
    if (!match.hasMatch() || (match.hasCaptured(1) && match.hasCaptured(3)))
        return std::nullopt;
    return match.captured(2).toInt(nullptr, 16);
}

}  // namespace fuses
