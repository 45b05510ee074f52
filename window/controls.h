#pragma once
// The window's controls, made and placed as the window was designed. Each pointer is named for its
// role; each control's objectName is its name in the window's design (the table in
// docs/ARCHITECTURE.md), which is how tests and tools find it.
#include "compose/form_state.h"
#include "compose/options.h"
#include "compose/vocabulary.h"
#include "fuses/fuse_bytes.h"
#include "widgets/byte_editor.h"
#include "widgets/controls.h"
#include "widgets/fuse_settings_panel.h"
#include "widgets/mask_edit.h"
#include "widgets/output_pane.h"
#include "widgets/run_strip.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <array>

class QScrollArea;
class QSplitter;

namespace window {

using widgets::ComboBox;
using widgets::MaskEdit;
using widgets::SpeedButton;

struct Controls {
    // Top row.
    ComboBox *deviceBox = nullptr, *programmerBox = nullptr, *portBox = nullptr;
    QLabel *programmerFit = nullptr;  // a mark beside the programmer box: it cannot reach the part
    QLineEdit *extraOptions = nullptr;
    // Flash and EEPROM rows.
    QGroupBox *flashRow = nullptr, *eepromRow = nullptr;
    QCheckBox *flashWrite = nullptr, *flashRead = nullptr, *flashVerify = nullptr, *eepromWrite = nullptr,
              *eepromRead = nullptr, *eepromVerify = nullptr;
    QLineEdit *flashFile = nullptr, *eepromFile = nullptr;
    QPushButton *flashBrowse = nullptr, *eepromBrowse = nullptr;
    ComboBox *flashFormat = nullptr, *eepromFormat = nullptr;
    // The byte editors, in the order of fuses::FuseByteTable.
    std::array<widgets::ByteEditor *, fuses::kFuseByteCount> byteEditors{};
    widgets::ByteEditor *byteEditor(fuses::FuseByte byte) const { return byteEditors[fuses::Index(byte)]; }
    QPushButton *readAllButton = nullptr;  // added to the design: every fuse and lock byte in one run
    // The fuse settings in words, to the right of the design's window.
    QGroupBox *fuseSettingsGroup = nullptr;
    widgets::FuseSettingsPanel *fuseSettings = nullptr;
    // The boards of the installed Arduino cores, below the panel.
    QComboBox *boardBox = nullptr;
    QWidget *boardMenus = nullptr;   // one choice per menu of the chosen board (BoardMenu_<menu id>)
    QLabel *boardStatus = nullptr;   // why the chosen board's burn cannot run; empty when it can
    QPushButton *burnButton = nullptr, *uploadButton = nullptr, *addCoreButton = nullptr;
    QPushButton *boardLinesButton = nullptr;  // shows the lines Burn Bootloader would run
    // A board's upload setting while it is in force (Upload Setup): what it adds to the line, said;
    // its speed in the property "speed", empty when none is in force.
    QLabel *uploadSetting = nullptr;
    QPushButton *attachedBoardButton = nullptr;  // "Use the Arduino UNO on /dev/ttyACM0": a board found plugged in
    QPushButton *programButton = nullptr;  // opens Program Chip
    QPushButton *memoriesButton = nullptr;  // opens Memories: what the chip holds
    // Calibration and signature.
    QGroupBox *calibrationGroup = nullptr, *signatureGroup = nullptr;
    SpeedButton *calibrationRead = nullptr, *calibrationWrite = nullptr, *signatureRead = nullptr;
    MaskEdit *calibrationField = nullptr, *signatureField = nullptr;
    QPushButton *detectButton = nullptr;  // added to the design: which chip is there
    QLabel *signaturePart = nullptr;      // the part whose signature the field shows
    // Options and exit modes: the boxes of their tables, row by row, and by name.
    QGroupBox *optionsGroup = nullptr, *exitModeGroup = nullptr;
    std::array<QCheckBox *, std::size(compose::OptionTable)> optionBoxes{};
    std::array<QCheckBox *, std::size(compose::ExitModeTable)> exitModeBoxes{};
    QCheckBox *disableAutoEraseBox = nullptr, *chipEraseBox = nullptr, *overrideSignatureBox = nullptr,
              *noWriteBox = nullptr, *quietBox = nullptr, *terminalBox = nullptr, *verboseBox = nullptr,
              *noVerifyBox = nullptr;
    QCheckBox *resetBox = nullptr, *noResetBox = nullptr, *vccBox = nullptr, *noVccBox = nullptr;
    // Bottom.
    QLineEdit *commandLine = nullptr;
    QPushButton *executeButton = nullptr;
    widgets::OutputPane *outputPane = nullptr;
    widgets::RunStrip *runStrip = nullptr;
    // The window's parts: the design's form (it scrolls where the window is smaller), the output
    // below it, the panel beside them.
    QWidget *designForm = nullptr;
    QScrollArea *designScroll = nullptr, *panelScroll = nullptr;
    QSplitter *leftSplitter = nullptr, *mainSplitter = nullptr;
};

inline constexpr int kDesignWidth = 626;  // the window as it was designed, without the panel
inline constexpr int kPanelWidth = 390;
inline constexpr int kFormHeight = 522;  // the design's controls, down to the command line and Execute

// Makes every control inside `window`, where the design puts it, with the tab order it gives.
Controls MakeControls(QWidget *window, const compose::Vocabulary &words, const QStringList &serialPorts);

// The window's values that bear on a command line.
compose::FormState Snapshot(const Controls &ui);

// Every control Tab visits, in reading order: the form from top left to bottom right, then the
// panel (its rows as they stand now), the run strip, the output last. Hidden and disabled ones too:
// the caller skips what cannot take the focus.
QList<QWidget *> ReadingOrder(const Controls &ui);

// `widget` with its design name as its objectName, as tests and tools find it.
template <typename T>
T *Named(T *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

}  // namespace window
