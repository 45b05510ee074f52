#include "widgets/fuse_settings_panel.h"

#include "widgets/controls.h"

#include <QAbstractItemView>
#include <QRegularExpressionValidator>
#include <QGroupBox>
#include <QEvent>
#include <QStyle>
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
    none_->setObjectName(QStringLiteral("FuseSettingsPart"));
    none_->setWordWrap(true);
    defaults_ = new QPushButton(QStringLiteral("Factory Defaults"), this);
    defaults_->setObjectName(QStringLiteral("FactoryDefaults"));
    defaults_->setToolTip(QStringLiteral("Set each byte editor to the part's factory default; nothing is written to the chip"));
    top->addWidget(none_, 1);
    top->addWidget(defaults_);
    layout->addLayout(top);
    notice_ = new QLabel(this);
    notice_->setObjectName(QStringLiteral("FuseSettingsNotice"));
    notice_->setWordWrap(true);
    Tint(notice_, kErrorHue);
    notice_->hide();
    layout->addWidget(notice_);
    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setFrameShape(QFrame::NoFrame);
    layout->addWidget(scroll_, 1);
    // The panel is an editor of its own: one Write for every changed byte, undo, and the way back.
    auto *edits = new QHBoxLayout;
    const auto button = [&](const QString &caption, const QString &name, const QString &tip) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setToolTip(tip);
        edits->addWidget(b);
        return b;
    };
    write_ = button(QStringLiteral("Write Changes"), QStringLiteral("FuseSettingsWrite"),
                    QStringLiteral("Write every byte changed here and not yet written, in one run"));
    back_ = button(QStringLiteral("Back to the values read"), QStringLiteral("BackToRead"),
                   QStringLiteral("Every byte back to what the chip holds as last read or written"));
    edits->addStretch(1);
    // Undo and redo as the small arrows every editor has; their names say what they do.
    undo_ = button(QString(), QStringLiteral("FuseSettingsUndo"), QStringLiteral("Undo the last change of a value (Ctrl+Z)"));
    redo_ = button(QString(), QStringLiteral("FuseSettingsRedo"), QStringLiteral("Redo what was undone (Ctrl+Shift+Z)"));
    undo_->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
    redo_->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
    undo_->setAccessibleName(QStringLiteral("Undo"));
    redo_->setAccessibleName(QStringLiteral("Redo"));
    layout->addLayout(edits);
    connect(write_, &QPushButton::clicked, this, [this] { emit changesWriteRequested(changes()); });
    connect(undo_, &QPushButton::clicked, this, &FuseSettingsPanel::undo);
    connect(redo_, &QPushButton::clicked, this, &FuseSettingsPanel::redo);
    connect(back_, &QPushButton::clicked, this, &FuseSettingsPanel::backToRead);
    recordLater_.setSingleShot(true);
    recordLater_.setInterval(0);
    connect(&recordLater_, &QTimer::timeout, this, &FuseSettingsPanel::Record);
    setDevice(nullptr, QString());
}

void FuseSettingsPanel::setDevice(const fuses::MeaningDevice *meanings, const QString &device)
{
    // The heading names the part now chosen, even when the panel stays as it is (two parts without data).
    const QString heading =
        meanings ? QStringLiteral("%1, signature %2").arg(QLatin1String(meanings->name), QLatin1String(meanings->signature))
        : device.trimmed().isEmpty()
            ? QStringLiteral("Choose a device to see its fuse settings.")
            : QStringLiteral("There are no fuse descriptions for \"%1\"; the byte editors work as ever.").arg(device);
    if (meanings == meanings_ && content_ && !own_.any()) {
        none_->setText(heading);
        return;
    }
    own_ = {};
    sections_.clear();
    meanings_ = meanings;
    controls_.clear();
    fields_ = {};
    unread_ = {};
    groups_ = {};
    chip_ = {};
    sectionChip_.clear();
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(2, 2, 2, 2);
    none_->setText(heading);
    defaults_->setVisible(meanings != nullptr);
    for (fuses::FuseByte byte : kSectionOrder) {
        const fuses::MeaningRegister *reg = meanings ? fuses::RegisterOf(*meanings, byte) : nullptr;
        if (!reg)
            continue;
        auto *section = new QGroupBox(QString::fromLatin1(fuses::Row(byte).caption), content);
        section->setObjectName(QStringLiteral("Settings_%1").arg(QLatin1String(fuses::Row(byte).memory)));
        auto *rows = new QVBoxLayout(section);
        rows->setSpacing(2);
        const std::size_t i = fuses::Index(byte);
        groups_[i] = section;
        unread_[i] = new QLabel(QStringLiteral("Not read: read this byte, type its value or choose Factory Defaults. "
                                               "The editor's %1 is no value of the chip's.")
                                    .arg(QStringLiteral("00")),
                                section);
        unread_[i]->setObjectName(QStringLiteral("Unread_%1").arg(QLatin1String(fuses::Row(byte).memory)));
        unread_[i]->setWordWrap(true);
        rows->addWidget(unread_[i]);
        fields_[i] = new QWidget(section);
        auto *fieldRows = new QVBoxLayout(fields_[i]);
        fieldRows->setContentsMargins(0, 0, 0, 0);
        fieldRows->setSpacing(2);
        AddFields(*reg, Control{byte, -1, nullptr}, fields_[i], fieldRows);
        rows->addWidget(fields_[i]);
        column->addWidget(section);
    }
    column->addStretch(1);
    Replace(content);
}

void FuseSettingsPanel::setOwnFuses(const fuses::OwnFuses &own, const QString &device)
{
    own_ = own;
    meanings_ = own_.meanings;
    controls_.clear();
    fields_ = {};
    unread_ = {};
    groups_ = {};
    chip_ = {};
    sectionChip_.clear();
    sections_.clear();
    auto *content = new QWidget;
    auto *column = new QVBoxLayout(content);
    column->setContentsMargins(2, 2, 2, 2);
    none_->setText(meanings_ ? QStringLiteral("%1, signature %2: its own fuses, each with its Read and Write")
                                   .arg(QLatin1String(meanings_->name), QLatin1String(meanings_->signature))
                             : QStringLiteral("There are no fuse descriptions for the %1: its fuses are shown by "
                                              "avrdude's names, as bytes.")
                                   .arg(device));
    defaults_->setVisible(meanings_ != nullptr);
    for (const fuses::FuseSection &fuse : own_.sections) {
        const int index = static_cast<int>(sections_.size());
        sections_.push_back({&fuse});
        auto *section = new QGroupBox(fuse.heading(), content);
        section->setObjectName(QStringLiteral("Settings_%1").arg(fuse.memory));
        auto *rows = new QVBoxLayout(section);
        rows->setSpacing(2);
        auto *line = new QHBoxLayout;
        auto *hex = new QLineEdit(section);
        hex->setPlaceholderText(QStringLiteral("not read"));
        hex->setObjectName(QStringLiteral("FuseHex_%1").arg(fuse.memory));
        hex->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,%1}").arg(2 * fuse.size)), hex));
        hex->setMaximumWidth(hex->fontMetrics().horizontalAdvance(QLatin1Char('D')) * (2 * fuse.size + 2) + 8);
        hex->setToolTip(QStringLiteral("The %1 in hexadecimal, %2 digits").arg(fuse.name()).arg(2 * fuse.size));
        sections_.back().hex = hex;
        auto *read = new QPushButton(QStringLiteral("Read"), section);
        read->setObjectName(QStringLiteral("FuseRead_%1").arg(fuse.memory));
        read->setToolTip(QStringLiteral("Read the %1 from the chip").arg(fuse.name()));
        auto *write = new QPushButton(QStringLiteral("Write"), section);
        write->setObjectName(QStringLiteral("FuseWrite_%1").arg(fuse.memory));
        write->setToolTip(QStringLiteral("Write this value to the %1 of the chip").arg(fuse.name()));
        line->addWidget(new QLabel(QStringLiteral("0x"), section));
        line->addWidget(hex);
        line->addStretch(1);
        line->addWidget(read);
        line->addWidget(write);
        rows->addLayout(line);
        const QString memory = fuse.memory;
        connect(read, &QPushButton::clicked, this, [this, memory] { emit fuseReadRequested(memory); });
        connect(write, &QPushButton::clicked, this,
                [this, memory, hex] { emit fuseWriteRequested(memory, hex->text().toUpper()); });
        // A whole value typed shows in the words at once; one left half-typed goes back to the value.
        connect(hex, &QLineEdit::textEdited, this, [this, index](const QString &text) {
            Section &s = sections_[static_cast<std::size_t>(index)];
            if (const auto value = s.fuse->parseHex(text)) {
                s.value = *value;
                s.known = true;  // typed: the user's value from now on
                ShowSection(index, false);
                Changed();
            }
        });
        connect(hex, &QLineEdit::editingFinished, this, [this, index] { ShowSection(index, true); });
        Section &made = sections_.back();
        made.group = section;
        made.unread = new QLabel(QStringLiteral("Not read: read this fuse, type its value or choose Factory Defaults."), section);
        made.unread->setObjectName(QStringLiteral("Unread_%1").arg(fuse.memory));
        made.unread->setWordWrap(true);
        rows->addWidget(made.unread);
        made.fields = new QWidget(section);
        auto *fieldRows = new QVBoxLayout(made.fields);
        fieldRows->setContentsMargins(0, 0, 0, 0);
        fieldRows->setSpacing(2);
        if (fuse.reg) {
            AddFields(*fuse.reg, Control{std::nullopt, index, nullptr}, made.fields, fieldRows);
            if (!fuses::SectionBoundary(*fuse.reg, 0).isEmpty()) {
                made.boundary = new QLabel(made.fields);
                made.boundary->setObjectName(QStringLiteral("Meaning_%1").arg(fuse.memory));
                made.boundary->setWordWrap(true);
                fieldRows->addWidget(made.boundary);
            }
        }
        rows->addWidget(made.fields);
        column->addWidget(section);
    }
    column->addStretch(1);
    Replace(content);
    for (std::size_t i = 0; i < sections_.size(); ++i)
        ShowSection(static_cast<int>(i), true);
}

void FuseSettingsPanel::AddFields(const fuses::MeaningRegister &reg, Control prototype, QWidget *section, QLayout *rows)
{
    for (const fuses::MeaningField &field : fuses::Fields(reg)) {
        Control control = prototype;
        control.field = &field;
        const QString caption = QString::fromUtf8(field.caption);
        if (OneBit(field)) {
            control.check = new QCheckBox(caption, section);
            control.check->setToolTip(
                onWhenSet()
                    ? QStringLiteral("%1: ticked when the bit is set (1): %2. Unticked (0): %3.")
                          .arg(QLatin1String(field.name), fuses::OneBitMeaning(field, 1, true), fuses::OneBitMeaning(field, 0, true))
                    : QStringLiteral("%1: ticked when the bit is programmed (0): %2. Unticked (1): %3. "
                                     "The bit boxes of the byte editors tick the other way: ticked there is 1.")
                          .arg(QLatin1String(field.name), fuses::OneBitMeaning(field, 0), fuses::OneBitMeaning(field, 1)));
            // The tick says whether the setting is on; the words beside it say the bit, so that the
            // panel and the byte editor's bit boxes (ticked there: 1) read the same.
            // The caption wraps at the panel's width rather than push the words out of sight; a
            // click on it ticks the box, as on a check box's own text.
            control.check->setText(QString());
            control.check->setAccessibleName(caption);
            auto *text = new QLabel(caption, section);
            text->setWordWrap(true);
            text->setBuddy(control.check);
            text->installEventFilter(this);
            text->setProperty("ticks", QVariant::fromValue(static_cast<QObject *>(control.check)));
            auto *line = new QHBoxLayout;
            line->setContentsMargins(0, 0, 0, 0);
            control.state = new QLabel(section);
            control.state->setObjectName(QStringLiteral("BitState_%1").arg(QLatin1String(field.name)));
            control.state->setForegroundRole(QPalette::PlaceholderText);
            line->addWidget(control.check, 0, Qt::AlignTop);
            line->addWidget(text, 1);
            line->addWidget(control.state, 0, Qt::AlignTop);
            qobject_cast<QBoxLayout *>(rows)->addLayout(line);
        } else {
            auto *label = new QLabel(QStringLiteral("%1 (%2)").arg(caption, QLatin1String(field.name)), section);
            control.box = new QComboBox(section);
            control.box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            control.box->setMinimumContentsLength(20);
            for (const fuses::MeaningValue &setting : fuses::Settings(field))
                control.box->addItem(QString::fromUtf8(setting.caption), setting.value);
            FitListToEntries(control.box);
            control.box->setToolTip(caption);
            rows->addWidget(label);
            rows->addWidget(control.box);
        }
        controls_.push_back(control);
    }
}

void FuseSettingsPanel::Replace(QWidget *content)
{
    content_ = content;
    scroll_->setWidget(content_);  // the previous content goes with it
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        const Control &control = controls_[i];
        if (control.check)
            connect(control.check, &QCheckBox::toggled, this, [this, i] { Edited(controls_[i]); });
        else
            connect(control.box, &QComboBox::currentIndexChanged, this, [this, i] { Edited(controls_[i]); });
        Show(control);
    }
    // Factory Defaults of a part's own fuses: every section with data takes its default here.
    disconnect(defaults_, &QPushButton::clicked, this, nullptr);
    if (own_.any())
        connect(defaults_, &QPushButton::clicked, this, [this] {
            for (std::size_t i = 0; i < sections_.size(); ++i)
                if (const fuses::MeaningRegister *reg = sections_[i].fuse->reg) {
                    sections_[i].value = reg->initval & sections_[i].fuse->fullMask();
                    sections_[i].known = true;
                    ShowSection(static_cast<int>(i), true);
                }
            Changed();
        });
    else
        connect(defaults_, &QPushButton::clicked, this, &FuseSettingsPanel::defaultsRequested);
}

bool FuseSettingsPanel::eventFilter(QObject *watched, QEvent *event)
{
    // A one-bit field's caption: a click on it is a click on its box.
    if (event->type() == QEvent::MouseButtonRelease)
        if (auto *box = qobject_cast<QCheckBox *>(watched->property("ticks").value<QObject *>()); box && box->isEnabled()) {
            box->toggle();
            return true;
        }
    return QWidget::eventFilter(watched, event);
}

void FuseSettingsPanel::setNotice(const QString &text)
{
    notice_->setText(text);
    notice_->setVisible(!text.isEmpty());
}

void FuseSettingsPanel::setValue(fuses::FuseByte byte, unsigned value)
{
    known_[fuses::Index(byte)] = true;
    showValue(byte, value);
    Changed();
}

void FuseSettingsPanel::showValue(fuses::FuseByte byte, unsigned value)
{
    values_[fuses::Index(byte)] = value & 0xFF;
    for (const Control &control : controls_)
        if (control.byte == byte)
            Show(control);
    ShowKnown(byte);
}

void FuseSettingsPanel::ShowKnown(fuses::FuseByte byte)
{
    const std::size_t i = fuses::Index(byte);
    if (!fields_[i])
        return;
    unread_[i]->setVisible(!known_[i]);
    fields_[i]->setVisible(known_[i]);
}

void FuseSettingsPanel::setFuseValue(const QString &memory, quint32 value)
{
    for (std::size_t i = 0; i < sections_.size(); ++i)
        if (sections_[i].fuse->memory == memory) {
            sections_[i].value = value & sections_[i].fuse->fullMask();
            sections_[i].known = true;
            ShowSection(static_cast<int>(i), true);
        }
    Changed();
}

bool FuseSettingsPanel::isKnown(const QString &memory) const
{
    for (const Section &section : sections_)
        if (section.fuse->memory == memory)
            return section.known;
    return false;
}

void FuseSettingsPanel::ShowSection(int index, bool withHex)
{
    Section &section = sections_[static_cast<std::size_t>(index)];
    // A fuse nobody read, typed or set shows that it is not read, not a 00 that looks like the chip's.
    if (withHex)
        section.hex->setText(section.known ? section.fuse->hexText(section.value) : QString());
    section.unread->setVisible(!section.known);
    section.fields->setVisible(section.known);
    if (section.boundary)
        section.boundary->setText(fuses::SectionBoundary(*section.fuse->reg, section.value));
    for (const Control &control : controls_)
        if (control.section == index)
            Show(control);
}

unsigned &FuseSettingsPanel::ValueOf(const Control &control)
{
    return control.byte ? values_[fuses::Index(*control.byte)] : sections_[static_cast<std::size_t>(control.section)].value;
}

void FuseSettingsPanel::Show(const Control &control)
{
    showing_ = true;
    const unsigned value = ValueOf(control);
    if (control.check) {
        const unsigned bit = fuses::FieldBits(*control.field, value);
        control.check->setChecked((bit != 0) == (control.section >= 0 && onWhenSet()));
        control.state->setText(control.section >= 0 && onWhenSet() ? (bit ? QStringLiteral("bit set (1)") : QStringLiteral("bit clear (0)"))
                                                                   : (bit ? QStringLiteral("unprogrammed (1)") : QStringLiteral("programmed (0)")));
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
    unsigned &slot = ValueOf(control);
    const bool on = control.section >= 0 && onWhenSet();
    const unsigned raw = control.check ? (control.check->isChecked() == on ? 1u : 0u) : control.box->currentData().toUInt();
    slot = fuses::WithFieldBits(*control.field, slot, raw);
    if (control.byte) {
        emit valueEdited(*control.byte, slot);
        return;
    }
    ShowSection(control.section, true);
    Changed();
}

const FuseSettingsPanel::Control *FuseSettingsPanel::Find(const std::function<bool(const Control &)> &in, const char *field) const
{
    for (const Control &control : controls_)
        if (in(control) && qstrcmp(control.field->name, field) == 0)
            return &control;
    return nullptr;
}

QLabel *FuseSettingsPanel::bitState(fuses::FuseByte byte, const char *field) const
{
    const Control *c = Find([&](const Control &control) { return control.byte == byte && control.check; }, field);
    return c ? c->state : nullptr;
}

QComboBox *FuseSettingsPanel::settingBox(fuses::FuseByte byte, const char *field) const
{
    const Control *c = Find([&](const Control &control) { return control.byte == byte && control.box; }, field);
    return c ? c->box : nullptr;
}

QCheckBox *FuseSettingsPanel::bitBox(fuses::FuseByte byte, const char *field) const
{
    const Control *c = Find([&](const Control &control) { return control.byte == byte && control.check; }, field);
    return c ? c->check : nullptr;
}

bool FuseSettingsPanel::InSection(const Control &control, const QString &memory) const
{
    return control.section >= 0 && sections_[static_cast<std::size_t>(control.section)].fuse->memory == memory;
}

QComboBox *FuseSettingsPanel::settingBox(const QString &memory, const char *field) const
{
    const Control *c = Find([&](const Control &control) { return InSection(control, memory) && control.box; }, field);
    return c ? c->box : nullptr;
}

QCheckBox *FuseSettingsPanel::bitBox(const QString &memory, const char *field) const
{
    const Control *c = Find([&](const Control &control) { return InSection(control, memory) && control.check; }, field);
    return c ? c->check : nullptr;
}

QLineEdit *FuseSettingsPanel::hexField(const QString &memory) const
{
    for (const Section &section : sections_)
        if (section.fuse->memory == memory)
            return section.hex;
    return nullptr;
}

}  // namespace widgets
