#include "fuses/bit_rules.h"

#include "fuses/mask_text.h"

namespace fuses {

QString WithBit(QString raw, int bit, bool checked)
{
    const int pos = 7 - bit;
    while (raw.size() <= pos)
        raw += MaskText::kUnfilled;
    raw[pos] = checked ? u'1' : u'0';
    return raw;
}

bool BitIsSet(const QString &raw, int bit)
{
    const int pos = 7 - bit;
    return pos < raw.size() && raw[pos] == u'1';
}

QChar BinaryKey(QChar typed) { return typed == u'1' ? typed : QChar(u'0'); }

}  // namespace fuses
