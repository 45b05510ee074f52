#pragma once
// How the binary field and the bit boxes of a byte editor speak for each other.
#include <QChar>
#include <QString>

namespace fuses {

// The box rule's edit of the binary field: the character of bit k (position 8 - k, counted from 1)
// set to "1" or "0", every other character kept, unfilled ones included.
QString WithBit(QString raw, int bit, bool checked);

// The character that stands for bit k in a binary raw text: "1" means the bit is set.
bool BitIsSet(const QString &raw, int bit);

// The binary fields' key filter: every typed character other than "1" becomes "0".
QChar BinaryKey(QChar typed);

}  // namespace fuses
