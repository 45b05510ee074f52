#include "widgets/byte_editor.h"

#include "fuses/bit_rules.h"
#include "fuses/byte_text.h"
#include "widgets/controls.h"

#include <QLabel>

namespace widgets {

ByteEditor::ByteEditor(const fuses::FuseByteRow &row, const Geometry &at, QWidget *parent)
    : QGroupBox(QString::fromLatin1(row.caption), parent), row_(row)
{
    setObjectName(QLatin1String(row.groupName));
    setGeometry(at.left, 165, 100, 235);

    read_ = new SpeedButton(QStringLiteral("Read"), kReadHue, this);
    read_->setObjectName(QLatin1String(row.readName));
    read_->setGeometry(at.readX, at.readY, 36, 17);
    write_ = new SpeedButton(QStringLiteral("Write"), kWriteHue, this);
    write_->setObjectName(QLatin1String(row.writeName));
    write_->setGeometry(at.writeX, at.writeY, 38, 17);

    (new QLabel(QStringLiteral("Hex:"), this))->move(8, at.labelY);
    hex_ = new MaskEdit({2, true, false, true}, QStringLiteral("00"), this);
    hex_->setObjectName(QLatin1String(row.hexName));
    hex_->setGeometry(35, at.hexY, std::max(at.hexWidth, 26), 21);

    (new QLabel(QStringLiteral("Bin:"), this))->move(8, at.labelY + 24);
    bin_ = new MaskEdit({8, false, true, false}, QStringLiteral("00000000"), this);
    bin_->setObjectName(QLatin1String(row.binaryName));
    bin_->setGeometry(30, at.hexY + 24, 68, 21);
    bin_->keyPress = fuses::BinaryKey;

    for (int k = 0; k < 8; ++k) {
        const QString name = QLatin1String(row.bitPrefix) + QString::number(k);
        auto *bit = new QCheckBox(fuses::PlainBitCaption(k), this);
        bit->setObjectName(name);
        bit->setGeometry(8, 101 + 16 * k, 90, 18);
        bits_[static_cast<std::size_t>(k)] = bit;
        connect(bit, &QCheckBox::toggled, this, [this, k] { BitChange(k); });
    }
    connect(hex_, &MaskEdit::Change, this, &ByteEditor::HexChange);
    connect(bin_, &MaskEdit::Change, this, &ByteEditor::BinaryChange);
    connect(hex_, &MaskEdit::InvalidOnLeave, this, &ByteEditor::invalidInput);
    // A pasted byte in any usual form sets the whole field; anything else is refused, never cut.
    hex_->pasteFilter = [](const QString &text) -> std::optional<QString> {
        if (const auto value = fuses::ParseByteText(text))
            return fuses::FixedWidthText(*value, 16);
        return std::nullopt;
    };
    connect(hex_, &MaskEdit::PasteRefused, this, &ByteEditor::pasteRefused);
    connect(read_, &QPushButton::clicked, this, &ByteEditor::readRequested);
    connect(write_, &QPushButton::clicked, this, &ByteEditor::writeRequested);
}

QList<QWidget *> ByteEditor::tabChain() const
{
    // The bit boxes 1 to 7 first, then the hex field, the binary field and bit 0.
    QList<QWidget *> chain(bits_.begin() + 1, bits_.end());
    chain << hex_ << bin_ << bits_[0];
    return chain;
}

unsigned ByteEditor::value() const
{
    unsigned v = 0;
    for (int k = 0; k < 8; ++k)
        if (bitBox(k)->isChecked())
            v |= 1u << k;
    return v;
}

void ByteEditor::setValue(unsigned value) { hex_->SetText(fuses::FixedWidthText(static_cast<int>(value & 0xFF), 16)); }

// Each chain of updates ends because a value set to what it already is fires nothing.
void ByteEditor::HexChange() { bin_->SetText(fuses::FixedWidthText(fuses::ReadNumber(hex_->Text(), 16), 2)); }

void ByteEditor::BinaryChange()
{
    hex_->SetText(fuses::FixedWidthText(fuses::ReadNumber(bin_->Text(), 2), 16));
    // The binary field may have been rewritten meanwhile: each box reads it afresh.
    for (int k = 0; k < 8; ++k)
        bitBox(k)->setChecked(fuses::BitIsSet(bin_->RawText(), k));
}

void ByteEditor::BitChange(int bit)
{
    bin_->SetText(fuses::WithBit(bin_->RawText(), bit, bitBox(bit)->isChecked()));
    emit valueChanged(value());
}

void ByteEditor::setLayout(const fuses::GroupLayout &layout)
{
    if (!layout.on)
        hex_->SetText(QStringLiteral("00"));
    hex_->setEnabled(layout.on);
    bin_->setEnabled(layout.on);
    for (int k = 0; k < 8; ++k) {
        bitBox(k)->setText(layout.captions[static_cast<std::size_t>(k)]);
        bitBox(k)->setToolTip(layout.toolTips[static_cast<std::size_t>(k)]);
        bitBox(k)->setEnabled(layout.on);
    }
}

}  // namespace widgets
