#include "images/image_writers.h"

namespace images {
namespace {

void Hex(QByteArray &out, quint32 value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i)
        out += QByteArray::number((value >> (8 * i)) & 0xFF, 16).rightJustified(2, '0').toUpper();
}

// One Intel hex record: length, address, type, data, and the two's complement of their sum.
void IntelRecord(QByteArray &out, quint16 address, quint8 type, const char *data, int length)
{
    quint8 sum = quint8(length + (address >> 8) + (address & 0xFF) + type);
    out += ':';
    Hex(out, quint32(length), 1);
    Hex(out, address, 2);
    Hex(out, type, 1);
    for (int i = 0; i < length; ++i) {
        Hex(out, quint8(data[i]), 1);
        sum = quint8(sum + quint8(data[i]));
    }
    Hex(out, quint8(-sum), 1);
    out += '\n';
}

// One S-record of `type` (0 to 9) with an address of `addressBytes`: the count, address, data, and
// the one's complement of their sum.
void SRecord(QByteArray &out, int type, int addressBytes, quint32 address, const char *data, int length)
{
    const int count = addressBytes + length + 1;
    quint32 sum = quint32(count);
    for (int i = 0; i < addressBytes; ++i)
        sum += (address >> (8 * i)) & 0xFF;
    out += 'S';
    out += char('0' + type);
    Hex(out, quint32(count), 1);
    Hex(out, address, addressBytes);
    for (int i = 0; i < length; ++i) {
        Hex(out, quint8(data[i]), 1);
        sum += quint8(data[i]);
    }
    Hex(out, quint8(~sum), 1);
    out += '\n';
}

}  // namespace

QByteArray WriteIntelHex(const QByteArray &bytes)
{
    QByteArray out;
    for (qsizetype at = 0; at < bytes.size(); at += 16) {
        if (at > 0 && at % 0x10000 == 0) {  // the upper 16 bits of the addresses that follow
            const char upper[2] = {char((at >> 24) & 0xFF), char((at >> 16) & 0xFF)};
            IntelRecord(out, 0, 4, upper, 2);
        }
        IntelRecord(out, quint16(at & 0xFFFF), 0, bytes.constData() + at, int(std::min<qsizetype>(16, bytes.size() - at)));
    }
    IntelRecord(out, 0, 1, nullptr, 0);
    return out;
}

QByteArray WriteSRecord(const QByteArray &bytes)
{
    const int addressBytes = bytes.size() <= 0x10000 ? 2 : bytes.size() <= 0x1000000 ? 3 : 4;
    QByteArray out;
    SRecord(out, 0, 2, 0, "fusewerk", 8);
    for (qsizetype at = 0; at < bytes.size(); at += 16)
        SRecord(out, addressBytes - 1, addressBytes, quint32(at), bytes.constData() + at, int(std::min<qsizetype>(16, bytes.size() - at)));
    SRecord(out, 11 - addressBytes, addressBytes, 0, nullptr, 0);  // S9, S8 or S7: the end
    return out;
}

QByteArray WriteImage(const QByteArray &bytes, QChar format)
{
    switch (format.unicode()) {
    case u'i':
        return WriteIntelHex(bytes);
    case u's':
        return WriteSRecord(bytes);
    case u'r':
        return bytes;
    default:
        return {};
    }
}

}  // namespace images
