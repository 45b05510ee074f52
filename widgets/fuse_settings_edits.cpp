// The panel as an editor: what the chip holds, which values are changed and not written, undo and
// redo over the values shown, and the way back to what was read.
#include "widgets/fuse_settings_panel.h"

#include "fuses/byte_text.h"

#include <QGroupBox>

namespace widgets {
namespace {

constexpr std::size_t kMostSteps = 200;
const QString kUnwritten = QStringLiteral(" \u2014 changed, not written");

QString Titled(const QString &title, bool unwritten)
{
    const QString plain = title.endsWith(kUnwritten) ? title.chopped(kUnwritten.size()) : title;
    return unwritten ? plain + kUnwritten : plain;
}

}  // namespace

QString FuseSettingsPanel::MemoryOf(fuses::FuseByte byte) const { return QString::fromLatin1(fuses::Row(byte).memory); }

FuseSettingsPanel::State FuseSettingsPanel::Snapshot() const
{
    State state{values_, known_, {}};
    for (const Section &section : sections_)
        state.sections.emplace_back(section.value, section.known);
    return state;
}

void FuseSettingsPanel::Restore(const State &state)
{
    restoring_ = true;
    for (fuses::FuseByte byte : fuses::AllFuseBytes) {
        const std::size_t i = fuses::Index(byte);
        if (!fields_[i])
            continue;  // a byte the part has no section for is the byte editors' alone
        emit valueEdited(byte, state.values[i]);  // the editor follows, and shows it back here
        values_[i] = state.values[i];
        known_[i] = state.known[i];
        showValue(byte, values_[i]);
    }
    for (std::size_t i = 0; i < sections_.size() && i < state.sections.size(); ++i) {
        sections_[i].value = state.sections[i].first;
        sections_[i].known = state.sections[i].second;
        ShowSection(static_cast<int>(i), true);
    }
    restoring_ = false;
    MarkChanges();
}

void FuseSettingsPanel::Changed()
{
    if (restoring_)
        return;
    // A chain of changes (a setting here, the byte editor, back here) is one step.
    recordLater_.start();
    MarkChanges();
}

void FuseSettingsPanel::Record()
{
    recordLater_.stop();
    const State now = Snapshot();
    if (at_ >= 0 && history_[static_cast<std::size_t>(at_)] == now)
        return;
    history_.resize(static_cast<std::size_t>(at_ + 1));  // what was undone goes
    history_.push_back(now);
    if (history_.size() > kMostSteps)
        history_.erase(history_.begin());
    at_ = static_cast<int>(history_.size()) - 1;
    MarkChanges();
}

void FuseSettingsPanel::resetEdits()
{
    recordLater_.stop();
    history_ = {Snapshot()};
    at_ = 0;
    MarkChanges();
}

void FuseSettingsPanel::undo()
{
    if (recordLater_.isActive())
        Record();
    if (at_ <= 0)
        return;
    --at_;
    Restore(history_[static_cast<std::size_t>(at_)]);
}

void FuseSettingsPanel::redo()
{
    if (recordLater_.isActive())
        Record();
    if (at_ + 1 >= static_cast<int>(history_.size()))
        return;
    ++at_;
    Restore(history_[static_cast<std::size_t>(at_)]);
}

void FuseSettingsPanel::backToRead()
{
    if (recordLater_.isActive())
        Record();
    State back = Snapshot();
    for (fuses::FuseByte byte : fuses::AllFuseBytes) {
        const std::size_t i = fuses::Index(byte);
        back.known[i] = chip_[i].has_value();
        back.values[i] = chip_[i].value_or(0);
    }
    for (std::size_t i = 0; i < sections_.size(); ++i) {
        const auto chip = sectionChip_.constFind(sections_[i].fuse->memory);
        back.sections[i] = {chip != sectionChip_.cend() ? *chip : 0, chip != sectionChip_.cend()};
    }
    Restore(back);
    Record();
}

void FuseSettingsPanel::setChipValue(const QString &memory, quint32 value)
{
    // What came from the chip is a step of its own: an edit made at once after it is not folded in,
    // or undoing that edit would also undo the read.
    if (recordLater_.isActive())
        Record();
    for (fuses::FuseByte byte : fuses::AllFuseBytes)
        if (MemoryOf(byte) == memory && !own_.any())
            chip_[fuses::Index(byte)] = value & 0xFF;
    for (const Section &section : sections_)
        if (section.fuse->memory == memory)
            sectionChip_.insert(memory, value & section.fuse->fullMask());
    MarkChanges();
}

bool FuseSettingsPanel::isChanged(const QString &memory) const
{
    for (const auto &change : changes())
        if (change.first == memory)
            return true;
    return false;
}

QList<QPair<QString, QString>> FuseSettingsPanel::changes() const
{
    QList<QPair<QString, QString>> out;
    // The classic bytes in the datasheet's order (the lock last: written first, it would refuse the rest).
    for (fuses::FuseByte byte : {fuses::FuseByte::Low, fuses::FuseByte::High, fuses::FuseByte::Extended, fuses::FuseByte::Lock}) {
        const std::size_t i = fuses::Index(byte);
        if (fields_[i] && known_[i] && chip_[i] != values_[i])
            out.append({MemoryOf(byte), fuses::FixedWidthText(static_cast<int>(values_[i]), 16).toUpper()});
    }
    QList<QPair<QString, QString>> locks;
    for (const Section &section : sections_) {
        const auto chip = sectionChip_.constFind(section.fuse->memory);
        if (section.known && (chip == sectionChip_.cend() || *chip != section.value))
            (section.fuse->lock ? locks : out).append({section.fuse->memory, section.fuse->hexText(section.value)});
    }
    return out + locks;
}

void FuseSettingsPanel::MarkChanges()
{
    const QList<QPair<QString, QString>> changed = changes();
    const auto isIn = [&](const QString &memory) {
        return std::ranges::any_of(changed, [&](const auto &c) { return c.first == memory; });
    };
    for (fuses::FuseByte byte : fuses::AllFuseBytes)
        if (QGroupBox *group = groups_[fuses::Index(byte)]) {
            const bool unwritten = isIn(MemoryOf(byte));
            group->setTitle(Titled(group->title(), unwritten));
            group->setProperty("unwritten", unwritten);
        }
    for (const Section &section : sections_) {
        const bool unwritten = isIn(section.fuse->memory);
        section.group->setTitle(Titled(section.group->title(), unwritten));
        section.group->setProperty("unwritten", unwritten);
    }
    write_->setEnabled(!changed.isEmpty());
    undo_->setEnabled(canUndo() || recordLater_.isActive());
    redo_->setEnabled(canRedo());
    back_->setEnabled(std::ranges::any_of(chip_, [](const auto &v) { return v.has_value(); }) || !sectionChip_.isEmpty());
}

}  // namespace widgets
