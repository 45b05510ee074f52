#include "widgets/fuse_settings_panel.h"

#include <QAbstractItemView>
#include <QGroupBox>
#include <QVBoxLayout>

namespace widgets {
namespace {

// The sections in the order a datasheet lists the bytes.
constexpr fuses::FuseByte kSectionOrder[] = {fuses::FuseByte::Low, fuses::FuseByte::High, fuses::FuseByte::Extended,
                                             fuses::FuseByte::Lock};

bool OneBit(const fuses::MeaningField &field) { return field.valueCount == 0 && (field.mask & (field.mask - 1)) == 0; }

}  // namespace

FuseSettingsPanel::FuseSettingsPanel(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *top = new QHBoxLayout;
    none_ = new QLabel(this);
    none_->setWordWrap(true);
    defaults_ = new QPushButton(QStringLiteral("Factory Defaults"), this);
    defaults_->setObjectName(QStringLiteral("FactoryDefaults"));
    defaults_->setToolTip(QStringLiteral("Set each byte editor to the part's factory default; nothing is written to the chip"));
    top->addWidget(none_, 1);
    top->addWidget(defaults_);
    layout->addLayout(top);
    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    layout->addWidget(scroll_, 1);
    connect(defaults_, &QPushButton::clicked, this, &FuseSettingsPanel::defaultsRequested);
    setDevice(nullptr, QString());
}

void FuseSettingsPanel::setDevice(const fuses::MeaningDevice *meanings, const QString &device)
{
    if (meanings == meanings_ && content_)
        return;
    meanings_ = meanings;
    controls_.clear();
    content_ = new QWidget;
    auto *column = new QVBoxLayout(content_);
    column->setContentsMargins(2, 2, 2, 2);
    none_->setText(meanings ? QStringLiteral("%1, signature %2").arg(QLatin1String(meanings->name), QLatin1String(meanings->signature))
                            : QStringLiteral("There are no fuse descriptions for \"%1\"; the byte editors work as ever.")
                                  .arg(device));
    defaults_->setVisible(meanings != nullptr);
    for (fuses::FuseByte byte : kSectionOrder) {
        const fuses::MeaningRegister *reg = meanings ? fuses::RegisterOf(*meanings, byte) : nullptr;
        if (!reg)
            continue;
        auto *section = new QGroupBox(QString::fromLatin1(fuses::Row(byte).caption), content_);
        section->setObjectName(QStringLiteral("Settings_%1").arg(QLatin1String(fuses::Row(byte).memory)));
        auto *rows = new QVBoxLayout(section);
        rows->setSpacing(2);
        for (const fuses::MeaningField &field : fuses::Fields(*reg)) {
            Control control{byte, &field};
            const QString caption = QString::fromUtf8(field.caption);
            if (OneBit(field)) {
                control.check = new QCheckBox(caption, section);
                control.check->setToolTip(QStringLiteral("%1: ticked when the bit is programmed (0): %2. Unticked (1): %3. "
                                                         "The bit boxes of the byte editors tick the other way: ticked there is 1.")
                                              .arg(QLatin1String(field.name), fuses::OneBitMeaning(field, 0),
                                                   fuses::OneBitMeaning(field, 1)));
                rows->addWidget(control.check);
            } else {
                auto *label = new QLabel(QStringLiteral("%1 (%2)").arg(caption, QLatin1String(field.name)), section);
                control.box = new QComboBox(section);
                control.box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
                control.box->setMinimumContentsLength(20);
                for (const fuses::MeaningValue &setting : fuses::Settings(field))
                    control.box->addItem(QString::fromUtf8(setting.caption), setting.value);
                control.box->view()->setMinimumWidth(control.box->view()->sizeHintForColumn(0) + 24);
                control.box->setToolTip(caption);
                rows->addWidget(label);
                rows->addWidget(control.box);
            }
            controls_.push_back(control);
        }
        column->addWidget(section);
    }
    column->addStretch(1);
    scroll_->setWidget(content_);  // the previous content goes with it
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const Control &control = controls_[i];
        if (control.check)
            connect(control.check, &QCheckBox::toggled, this, [this, i] { Edited(controls_[i]); });
        else
            connect(control.box, &QComboBox::currentIndexChanged, this, [this, i] { Edited(controls_[i]); });
        Show(control);
    }
}

void FuseSettingsPanel::setValue(fuses::FuseByte byte, unsigned value)
{
    values_[fuses::Index(byte)] = value & 0xFF;
    for (const Control &control : controls_)
        if (control.byte == byte)
            Show(control);
}

void FuseSettingsPanel::Show(const Control &control)
{
    showing_ = true;
    const unsigned value = values_[fuses::Index(control.byte)];
    if (control.check) {
        control.check->setChecked(fuses::FieldBits(*control.field, value) == 0);
    } else {
        // A value the group does not list shows as itself, in an entry of its own at the end.
        const int listed = control.field->valueCount;
        while (control.box->count() > listed)
            control.box->removeItem(listed);
        const unsigned bits = fuses::FieldBits(*control.field, value);
        int index = control.box->findData(bits);
        if (index < 0) {
            control.box->addItem(fuses::Describe(*control.field, value), bits);
            index = listed;
        }
        control.box->setCurrentIndex(index);
    }
    showing_ = false;
}

void FuseSettingsPanel::Edited(const Control &control)
{
    if (showing_)
        return;
    const unsigned old = values_[fuses::Index(control.byte)];
    const unsigned raw = control.check ? (control.check->isChecked() ? 0u : 1u) : control.box->currentData().toUInt();
    const unsigned value = fuses::WithFieldBits(*control.field, old, raw);
    values_[fuses::Index(control.byte)] = value;
    emit valueEdited(control.byte, value);
}

QComboBox *FuseSettingsPanel::settingBox(fuses::FuseByte byte, const char *field) const
{
    for (const Control &control : controls_)
        if (control.byte == byte && control.box && qstrcmp(control.field->name, field) == 0)
            return control.box;
    return nullptr;
}

QCheckBox *FuseSettingsPanel::bitBox(fuses::FuseByte byte, const char *field) const
{
    for (const Control &control : controls_)
        if (control.byte == byte && control.check && qstrcmp(control.field->name, field) == 0)
            return control.check;
    return nullptr;
}

}  // namespace widgets
