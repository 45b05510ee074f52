#pragma once
// The one window. Its controls are the program's whole state: handlers read and set them directly.
// Members are named for their role; each control's objectName is its name in the window's design
// (the table in docs/ARCHITECTURE.md).
#include "app/run_lock.h"
#include "app/window_deps.h"
#include "compose/form_state.h"
#include "compose/options.h"
#include "fuses/byte_commands.h"
#include "fuses/fuse_bytes.h"
#include "fuses/gate.h"
#include "runner/avrdude_run.h"
#include "widgets/byte_editor.h"
#include "widgets/controls.h"
#include "widgets/fuse_settings_panel.h"
#include "widgets/output_pane.h"
#include "widgets/run_strip.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>


using widgets::ComboBox;
using widgets::MaskEdit;
using widgets::SpeedButton;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(WindowDeps deps = {}, QWidget *parent = nullptr);
    ~TForm1() override;

    // Top row.
    ComboBox *deviceBox, *programmerBox, *portBox;
    QLineEdit *extraOptions;
    // Flash and EEPROM rows.
    QGroupBox *flashRow, *eepromRow;
    QCheckBox *flashWrite, *flashRead, *flashVerify, *eepromWrite, *eepromRead, *eepromVerify;
    QLineEdit *flashFile, *eepromFile;
    QPushButton *flashBrowse, *eepromBrowse;
    ComboBox *flashFormat, *eepromFormat;
    // The byte editors, in the order of fuses::FuseByteTable.
    std::array<widgets::ByteEditor *, fuses::kFuseByteCount> byteEditors{};
    widgets::ByteEditor *byteEditor(fuses::FuseByte byte) const { return byteEditors[fuses::Index(byte)]; }
    // The fuse settings in words, to the right of the design's window.
    QGroupBox *fuseSettingsGroup;
    widgets::FuseSettingsPanel *fuseSettings;
    static constexpr int kDesignWidth = 626;  // the window as it was designed, without the panel
    static constexpr int kPanelWidth = 390;
    // Calibration and signature.
    QGroupBox *calibrationGroup, *signatureGroup;
    SpeedButton *calibrationRead, *calibrationWrite, *signatureRead;
    MaskEdit *calibrationField, *signatureField;
    QPushButton *detectButton;  // added to the design: which chip is there
    QLabel *signaturePart;      // the part whose signature the field shows
    // Options and exit modes: the boxes of their tables, row by row, and by name where a handler or a
    // test wants one.
    QGroupBox *optionsGroup, *exitModeGroup;
    std::array<QCheckBox *, std::size(compose::OptionTable)> optionBoxes{};
    std::array<QCheckBox *, std::size(compose::ExitModeTable)> exitModeBoxes{};
    QCheckBox *disableAutoEraseBox = nullptr, *chipEraseBox = nullptr, *overrideSignatureBox = nullptr,
              *noWriteBox = nullptr, *quietBox = nullptr, *terminalBox = nullptr, *verboseBox = nullptr,
              *noVerifyBox = nullptr;
    QCheckBox *resetBox = nullptr, *noResetBox = nullptr, *vccBox = nullptr, *noVccBox = nullptr;
    // Bottom.
    QLineEdit *commandLine;
    QPushButton *executeButton;
    widgets::OutputPane *outputPane;
    widgets::RunStrip *runStrip;

    // The window's values that bear on a command line.
    compose::FormState Snapshot() const;

    // The line number of the tool's output at which a single-byte read finds its value, and the
    // settings' line for each programmer that has one.
    int ReadLineIndex = 0;
    QHash<QString, int> ReadLineTable;

    // Where the settings live, formed afresh for each load and save.
    QString SettingsPath() const;

    // Start-up and the window's own handlers.
    void FormCreate();
    void DeviceComboBoxChange();
    void ProgComboBoxChange();
    void BuildCommandLine(QLineEdit *target);

    // Running the tool. One run at a time; each handler that starts one returns at once, and the
    // run's end comes back through `done`.
    bool Running() const { return run_ != nullptr; }
    void Execute();  // the command line's text, with its output shown as it arrives
    // A single-byte run: its output shows as it arrives (and goes to `see`), and from its start once
    // the run has ended; then `done` is called.
    // `reading`: a Read, which must write nothing whatever the extra options say.
    void RunAndCapture(const QString &line, std::function<void(const runner::ToolEnd &)> done = {},
                       std::function<void(const QString &)> see = {}, bool reading = false);
    void StopRun();        // Stop in the run strip, or Escape during a run
    void ShowOutputEnd();  // the run strip's way to the end of the output

    // Byte editors and the device's fuse layout.
    void ApplyFuseLayout();

    // Single-byte reads and writes.
    void BuildReadCommand(QLineEdit *target, const QString &operation);
    void BuildWriteCommand(QLineEdit *target);
    void ReadFuseByte(fuses::FuseByte byte);
    void WriteFuseByte(fuses::FuseByte byte);  // only a complete value, and one that may lock the chip out after asking
    void ReadCalibration();
    void WriteCalibration();
    void ReadSignature();
    // Reads the chip's signature with the chosen programmer and port, and selects its part.
    void Detect();

    // The program was told to end: the run under way is stopped, the settings saved (no question
    // asked, no box shown), and the program quits.
    void EndOnSignal();

    // Settings.
    void LoadSettings();
    bool SaveSettings();  // false when the file could not be written (the user has been told)

signals:
    void runFinished();  // a run has ended and its handler has done its work

protected:
    void closeEvent(QCloseEvent *event) override;  // FormClose
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;  // files dropped on the rows

private:
    // The window's controls, area by area (form1_layout.cpp).
    void CreateControls();
    void CreateTopRow();
    void CreateFileRows();
    void CreateByteGroups();
    void CreateOptions();
    void CreateBottom();
    void SetTabOrder();
    void WireEvents();

    void ExitModeClick(std::size_t row);  // a ticked box unticks the one it excludes
    void BrowseInto(QLineEdit *field);
    void SetPaneBounds(int top, int height);

    // Reads.
    void ReadHexList(const QString &command, const QString &memory, int count, MaskEdit *field);
    void ReportNoValue(const QString &what);
    void ReportNotAByte(const QString &what, const QString &line);
    // The line of a read's output that holds its value; nothing (and the user told why) when the run
    // did not succeed or the output holds no value.
    std::optional<QString> ValueLine(const runner::ToolEnd &end, const QString &what, fuses::ValueLineWatch &watch);
    // Runs a read whose value line is searched in its output as it passes; `take` gets that line.
    void RunRead(const QString &line, const QString &what, fuses::ValueForm form,
                 std::function<void(const QString &)> take);
    void WriteByte(const QString &value, const QString &memory);
    // The value each byte last read, and for which part; shown when a write asks first.
    fuses::LastReads lastReads_;
    void SignatureChange();  // the signature names its chip
    void SignatureMenu(QMenu &menu);

    // One run of the tool: `onOutput` gets its text as it arrives, `onTick` is called at a human
    // rate, `done` when it has ended.
    void StartRun(const QString &line, std::function<void(const QString &)> onOutput, std::function<void()> onTick,
                  std::function<void(const runner::AvrdudeRun &)> done);
    void FinishRun();
    // After a run: the switch to the part avrdude saw, and the first error line marked in the pane.
    void ShowWhatTheRunSaw(const runner::AvrdudeRun &run);
    // The gate before every run (form1_gate.cpp): false, the user told why, when it must not run.
    // `reading`: the line must not write to the chip at all (a Read or Detect).
    bool PassesGate(const QString &line, bool reading = false);
    // True, the user told why, when the line's programmer (its last -c) reaches the chip only through
    // a bootloader.
    bool ThroughBootloader(const QString &action, const QString &line);
    // A run whose output is shown in the pane as it arrives.
    void StartShownRun(const QString &line, std::function<void(const QString &)> see,
                       std::function<void(const runner::AvrdudeRun &)> done);

    WindowDeps deps_;
    std::unique_ptr<runner::AvrdudeRun> run_;
    std::unique_ptr<RunLock> lock_;
    std::function<void(const runner::AvrdudeRun &)> runDone_;
    bool closeAfterRun_ = false;       // the user chose "Stop and close" during a run
    bool closeWithoutSaving_ = false;  // the user chose to close although the settings could not be saved
    bool ending_ = false;              // told to end by a signal: nobody is there to answer questions
    int paneBottomGap_ = 3;            // the output pane keeps its distance to the window's bottom edge
};
