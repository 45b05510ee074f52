#pragma once
// One byte editor: hex field, binary field, eight bit boxes, Read and Write buttons.
#include "fuses/fuse_layout.h"
#include "widgets/mask_edit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <array>

namespace widgets {

class SpeedButton;

struct FuseGroup {
    QGroupBox *box = nullptr;
    SpeedButton *read = nullptr;
    SpeedButton *write = nullptr;
    MaskEdit *hex = nullptr;
    MaskEdit *bin = nullptr;
    std::array<QCheckBox *, 8> bits{};  // bits[k] stands for bit k; checked means the bit is 1

    // Builds the byte editor `number` (3 low fuse, 4 high fuse, 5 lock byte, 6 extended fuse) inside a
    // group box at `left` of `parent`; its controls bear that number in their names.
    static FuseGroup Create(QWidget *parent, int number, int left, const QString &caption);

    // A group that is off takes no input and shows 00; either way the boxes get the layout's captions
    // and tooltips.
    void Apply(const fuses::GroupLayout &layout) const;
};

}  // namespace widgets
