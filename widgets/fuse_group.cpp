#include "widgets/fuse_group.h"

#include "fuses/bit_rules.h"
#include "widgets/controls.h"

#include <QLabel>

namespace widgets {

FuseGroup FuseGroup::Create(QWidget *parent, int number, int left, const QString &caption)
{
    // Small per-group offsets, as the groups were laid out by hand.
    struct Offsets {
        int readX, readY, writeX, writeY, hexY, hexWidth, labelY;
    };
    static constexpr Offsets kOffsets[4] = {
        {13, 19, 54, 19, 50, 21, 56}, {13, 20, 55, 20, 51, 20, 57},
        {14, 20, 56, 20, 51, 19, 57}, {13, 20, 55, 20, 51, 19, 57},
    };
    const Offsets &o = kOffsets[number - 3];
    const QString n = QString::number(number);

    FuseGroup g;
    g.box = new QGroupBox(caption, parent);
    g.box->setObjectName(QStringLiteral("GroupBox%1").arg(number));
    g.box->setGeometry(left, 165, 100, 235);

    g.read = new SpeedButton(QStringLiteral("Read"), kReadHue, g.box);
    g.read->setObjectName(QStringLiteral("SpeedButton%1").arg(number - 2));
    g.read->setGeometry(o.readX, o.readY, 36, 17);
    g.write = new SpeedButton(QStringLiteral("Write"), kWriteHue, g.box);
    g.write->setObjectName(QStringLiteral("SpeedButton%1").arg(number + 4));
    g.write->setGeometry(o.writeX, o.writeY, 38, 17);

    auto *hexLabel = new QLabel(QStringLiteral("Hex:"), g.box);
    hexLabel->move(8, o.labelY);
    g.hex = new MaskEdit({2, true, false, true}, QStringLiteral("00"), g.box);
    g.hex->setObjectName(QStringLiteral("MaskEdit%10").arg(n));
    g.hex->setGeometry(35, o.hexY, std::max(o.hexWidth, 26), 21);

    auto *binLabel = new QLabel(QStringLiteral("Bin:"), g.box);
    binLabel->move(8, o.labelY + 24);
    g.bin = new MaskEdit({8, false, true, false}, QStringLiteral("00000000"), g.box);
    g.bin->setObjectName(QStringLiteral("MaskEdit%11").arg(n));
    g.bin->setGeometry(30, o.hexY + 24, 68, 21);
    g.bin->keyPress = fuses::BinaryKey;

    for (int k = 0; k < 8; ++k) {
        auto *bit = new QCheckBox(QStringLiteral("CheckBox%1%2").arg(n).arg(k), g.box);
        bit->setObjectName(QStringLiteral("CheckBox%1%2").arg(n).arg(k));
        bit->setGeometry(8, 101 + 16 * k, 90, 18);
        g.bits[k] = bit;
    }
    // Tab order: the bit boxes 1 to 7 first, then the hex field, the binary field and bit 0.
    QWidget *previous = g.bits[1];
    for (QWidget *w : {static_cast<QWidget *>(g.bits[2]), static_cast<QWidget *>(g.bits[3]),
                       static_cast<QWidget *>(g.bits[4]), static_cast<QWidget *>(g.bits[5]),
                       static_cast<QWidget *>(g.bits[6]), static_cast<QWidget *>(g.bits[7]),
                       static_cast<QWidget *>(g.hex), static_cast<QWidget *>(g.bin),
                       static_cast<QWidget *>(g.bits[0])}) {
        QWidget::setTabOrder(previous, w);
        previous = w;
    }
    return g;
}

void FuseGroup::Apply(const fuses::GroupLayout &layout) const
{
    if (!layout.on)
        hex->SetText(QStringLiteral("00"));
    hex->setEnabled(layout.on);
    bin->setEnabled(layout.on);
    for (int k = 0; k < 8; ++k) {
        bits[k]->setText(layout.captions[k]);
        bits[k]->setToolTip(layout.toolTips[k]);
        bits[k]->setEnabled(layout.on);
    }
}

}  // namespace widgets
