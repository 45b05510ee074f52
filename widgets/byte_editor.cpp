#include "widgets/byte_editor.h"

#include "fuses/bit_rules.h"
#include "fuses/byte_text.h"
#include "widgets/controls.h"

#include <QLabel>
#include <QSignalBlocker>

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
        connect(bit, &QCheckBox::toggled, this, [this, k](bool on) {
            Take(on ? value_ | 1u << k : value_ & ~(1u << k), nullptr);
        });
    }
    // Typed text stays as typed while the other field shows the same number; otherwise both are
    // drawn from the value (a half-typed "E_" becomes 0E, a "-1" reads through the binary field as 7F).
    connect(hex_, &MaskEdit::changed, this, [this] {
        const QString before = bin_->maskedText();
        {
            const QSignalBlocker quiet(bin_);
            bin_->setMaskedText(fuses::FixedWidthText(fuses::ReadNumber(hex_->maskedText(), 16), 2));
        }
        Take(fuses::ReadNumber(bin_->maskedText(), 2) & 0xFF, bin_->maskedText() == before ? hex_ : nullptr);
    });
    connect(bin_, &MaskEdit::changed, this, [this] {
        const unsigned value = fuses::ReadNumber(bin_->maskedText(), 2) & 0xFF;
        const bool same = hex_->maskedText().compare(fuses::FixedWidthText(static_cast<int>(value), 16), Qt::CaseInsensitive) == 0;
        Take(value, same ? bin_ : nullptr);
    });
    connect(hex_, &MaskEdit::leftIncomplete, this, &ByteEditor::invalidInput);
    // A pasted byte in any usual form sets the whole field; anything else is refused, never cut.
    hex_->pasteFilter = [](const QString &text) -> std::optional<QString> {
        if (const auto value = fuses::ParseByteText(text))
            return fuses::FixedWidthText(*value, 16);
        return std::nullopt;
    };
    connect(hex_, &MaskEdit::pasteRefused, this, &ByteEditor::pasteRefused);
    connect(read_, &QPushButton::clicked, this, &ByteEditor::readRequested);
    connect(write_, &QPushButton::clicked, this, &ByteEditor::writeRequested);
}

QList<QWidget *> ByteEditor::tabChain() const
{
    // As the group reads: Read and Write, the hex and binary fields, the bits from the top down.
    QList<QWidget *> chain{read_, write_, hex_, bin_};
    chain.append(QList<QWidget *>(bits_.begin(), bits_.end()));
    return chain;
}

void ByteEditor::setValue(unsigned value) { Take(value & 0xFF, nullptr); }

void ByteEditor::Take(unsigned value, const QWidget *typed)
{
    const bool changed = value != value_;
    value_ = static_cast<quint8>(value);
    Draw(typed);
    if (changed)
        emit valueChanged(value_);
}

void ByteEditor::Draw(const QWidget *typed)
{
    if (typed != hex_) {
        const QSignalBlocker quiet(hex_);
        hex_->setMaskedText(fuses::FixedWidthText(value_, 16));
    }
    if (typed != bin_) {
        const QSignalBlocker quiet(bin_);
        bin_->setMaskedText(fuses::FixedWidthText(value_, 2));
    }
    for (int k = 0; k < 8; ++k) {
        const QSignalBlocker quiet(bitBox(k));
        bitBox(k)->setChecked((value_ >> k) & 1u);
    }
}

void ByteEditor::setBitLayout(const fuses::GroupLayout &layout)
{
    if (!layout.on)
        setValue(0);
    hex_->setEnabled(layout.on);
    bin_->setEnabled(layout.on);
    for (int k = 0; k < 8; ++k) {
        bitBox(k)->setText(layout.captions[static_cast<std::size_t>(k)]);
        bitBox(k)->setToolTip(layout.toolTips[static_cast<std::size_t>(k)]);
        bitBox(k)->setEnabled(layout.on);
    }
}

}  // namespace widgets
