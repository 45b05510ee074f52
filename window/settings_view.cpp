#include "window/settings_view.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace window {
namespace {

void ShowPick(ComboBox *box, const settings::Pick &pick)
{
    box->setItemIndex(pick.index);
    if (pick.text.isEmpty())
        return;
    // Selected by its text; gone from the list, its text stays as if typed. Either way quietly: the
    // start-up's last step brings everything in line.
    box->setItemIndex(box->findText(pick.text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    const QSignalBlocker quiet(box);
    box->setEditText(pick.text);
    box->lineEdit()->setCursorPosition(0);  // a long name shows its start
}

settings::Pick PickOf(const ComboBox *box) { return {box->itemIndex(), box->currentText()}; }

template <typename Table, std::size_t N, typename Group>
void ShowSwitches(const Table &table, const std::array<QCheckBox *, N> &boxes, const Group &group)
{
    for (std::size_t row = 0; row < N; ++row)
        boxes[row]->setChecked(group.*table[row].member);
}

template <typename Table, std::size_t N, typename Group>
void TakeSwitches(const Table &table, const std::array<QCheckBox *, N> &boxes, Group &group)
{
    for (std::size_t row = 0; row < N; ++row)
        group.*table[row].member = boxes[row]->isChecked();
}

}  // namespace

void ShowSettings(const Controls &ui, const settings::Saved &saved)
{
    ui.flashFormat->setItemIndex(saved.flashFormat);
    ui.eepromFormat->setItemIndex(saved.eepromFormat);
    ShowPick(ui.deviceBox, saved.device);
    ShowPick(ui.programmerBox, saved.programmer);
    ShowPick(ui.portBox, saved.port);
    ui.flashFile->setText(saved.flash);
    ui.eepromFile->setText(saved.eeprom);
    ui.extraOptions->setText(saved.extraOptions);
    ShowSwitches(compose::OptionTable, ui.optionBoxes, saved.options);
    ShowSwitches(compose::ExitModeTable, ui.exitModeBoxes, saved.exitModes);
}

settings::Saved SettingsOf(const Controls &ui, const QString &caption)
{
    settings::Saved saved;
    saved.flashFormat = ui.flashFormat->itemIndex();
    saved.eepromFormat = ui.eepromFormat->itemIndex();
    saved.device = PickOf(ui.deviceBox);
    saved.programmer = PickOf(ui.programmerBox);
    saved.port = PickOf(ui.portBox);
    saved.flash = ui.flashFile->text();
    saved.eeprom = ui.eepromFile->text();
    saved.extraOptions = ui.extraOptions->text();
    saved.caption = caption;
    saved.board = ui.boardBox->currentData().toString();
    TakeSwitches(compose::OptionTable, ui.optionBoxes, saved.options);
    TakeSwitches(compose::ExitModeTable, ui.exitModeBoxes, saved.exitModes);
    return saved;
}

}  // namespace window
