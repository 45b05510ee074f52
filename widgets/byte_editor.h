#pragma once
// One byte's editor: one value, shown in a hex field, a binary field and eight bit boxes, and Read
// and Write buttons whose clicks it passes on. Whichever control the user changes sets the value;
// the others are drawn from it without a signal of their own.
#include "fuses/fuse_bytes.h"
#include "fuses/fuse_layout.h"
#include "widgets/mask_edit.h"

#include <QCheckBox>
#include <QGroupBox>
#include <array>

namespace widgets {

class SpeedButton;

class ByteEditor : public QGroupBox {
    Q_OBJECT
public:
    // Where the controls stand inside the group, as each group was laid out by hand.
    struct Geometry {
        int left;  // of the group in its parent; all groups share top, width and height
        int readX, readY, writeX, writeY, hexY, hexWidth, labelY;
    };
    ByteEditor(const fuses::FuseByteRow &row, const Geometry &at, QWidget *parent);

    fuses::FuseByte byte() const { return row_.byte; }
    const fuses::FuseByteRow &row() const { return row_; }

    unsigned value() const { return value_; }
    // Shows `value` (its low byte) in every control; `valueChanged` fires once when it differs.
    void setValue(unsigned value);
    // The hex field's text as it stands, half-typed or whole.
    QString hexText() const { return hex_->maskedText(); }
    // An editor that is off takes no input and shows 00; either way the boxes take the layout's
    // captions and tooltips.
    void setBitLayout(const fuses::GroupLayout &layout);

    MaskEdit *hexField() const { return hex_; }
    MaskEdit *binaryField() const { return bin_; }
    QCheckBox *bitBox(int bit) const { return bits_[static_cast<std::size_t>(bit)]; }
    SpeedButton *readButton() const { return read_; }
    SpeedButton *writeButton() const { return write_; }
    // The controls in the order Tab visits them.
    QList<QWidget *> tabChain() const;

signals:
    void valueChanged(unsigned value);  // once per change of the value, by the user or by code
    void readRequested();
    void writeRequested();
    void invalidInput();  // the user left the hex field half filled
    void pasteRefused(const QString &text);  // a paste into the hex field that is not one byte

private:
    // Takes a value the user gave in one control and draws the others; `typed` keeps its text.
    void Take(unsigned value, const QWidget *typed);
    void Draw(const QWidget *typed);

    const fuses::FuseByteRow &row_;
    SpeedButton *read_, *write_;
    MaskEdit *hex_, *bin_;
    std::array<QCheckBox *, 8> bits_{};  // bits_[k] stands for bit k; checked means the bit is 1
    quint8 value_ = 0;
};

}  // namespace widgets
