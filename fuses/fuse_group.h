#pragma once
// One byte editor: hex field, binary field, eight bit boxes, Read and Write buttons.
#include "fuses/mask_edit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <array>

class SpeedButton;

namespace fuses {

struct FuseGroup {
    int number = 0;  // 3 low fuse, 4 high fuse, 5 lock byte, 6 extended fuse
    QGroupBox *box = nullptr;
    SpeedButton *read = nullptr;
    SpeedButton *write = nullptr;
    MaskEdit *hex = nullptr;
    MaskEdit *bin = nullptr;
    std::array<QCheckBox *, 8> bits{};  // bits[k] stands for bit k; checked means the bit is 1

    // Builds the group's controls inside a group box at `left` of `parent`.
    static FuseGroup Create(QWidget *parent, int number, int left, const QString &caption);
};

// The box rule's edit of the binary field: the character of bit k (position 8 - k, counted from 1)
// set to "1" or "0", every other character kept, unfilled ones included.
QString WithBit(QString raw, int bit, bool checked);

// The character that stands for bit k in a binary raw text: "1" means the bit is set.
bool BitIsSet(const QString &raw, int bit);

// The binary fields' key filter: every typed character other than "1" becomes "0".
QChar BinaryKey(QChar typed);

}  // namespace fuses
