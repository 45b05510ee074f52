#pragma once
// The one window. Its controls are the program's whole state: handlers read and set them directly.
#include "compose/form_state.h"
#include "compose/options.h"
#include "widgets/controls.h"
#include "runner/tool_process.h"
#include "widgets/fuse_group.h"
#include "widgets/output_pane.h"
#include "widgets/run_strip.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWidget>

#include <QHash>

#include <array>
#include <functional>

using widgets::ComboBox;
using widgets::MaskEdit;
using widgets::SpeedButton;

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // Top row.
    ComboBox *DeviceComboBox, *ProgComboBox, *PortComboBox;
    QLineEdit *Edit4;
    // Flash and EEPROM rows.
    QGroupBox *GroupBox1, *GroupBox2;
    QCheckBox *FlashWrite, *FlashRead, *FlashVerify, *EEPROMWrite, *EEPROMRead, *EEPROMVerify;
    QLineEdit *Edit1, *Edit2;
    QPushButton *Button1, *Button2;
    ComboBox *ComboBox4, *ComboBox5;
    // Byte groups: low fuse, high fuse, lock byte, extended fuse.
    std::array<widgets::FuseGroup, 4> groups;
    MaskEdit *MaskEdit30, *MaskEdit31, *MaskEdit40, *MaskEdit41, *MaskEdit50, *MaskEdit51, *MaskEdit60,
        *MaskEdit61;
    SpeedButton *SpeedButton1, *SpeedButton2, *SpeedButton3, *SpeedButton4;
    SpeedButton *SpeedButton7, *SpeedButton8, *SpeedButton9, *SpeedButton10;
    // Calibration and signature.
    QGroupBox *GroupBox7, *GroupBox8;
    SpeedButton *SpeedButton5, *SpeedButton11, *SpeedButton6;
    MaskEdit *MaskEdit70, *MaskEdit80;
    // Options and exit modes.
    QGroupBox *Options, *GroupBox9;
    QCheckBox *CheckBox1, *CheckBox2, *CheckBox7, *CheckBox8, *CheckBox9, *CheckBox10, *CheckBox11, *CheckBox12;
    QCheckBox *CheckBox13, *CheckBox14, *CheckBox15, *CheckBox16;
    // The boxes of the option and exit-mode tables, row by row.
    std::array<QCheckBox *, std::size(compose::OptionTable)> optionBoxes{};
    std::array<QCheckBox *, std::size(compose::ExitModeTable)> exitModeBoxes{};
    // Bottom.
    QLineEdit *Edit3;
    QPushButton *BitBtn1;
    widgets::OutputPane *Memo1;
    QLineEdit *Edit5;

    // Bit box k of group 3 to 6 (CheckBox30 ... CheckBox67).
    QCheckBox *BitBox(int group, int bit) const { return Group(group).bits[bit]; }
    const widgets::FuseGroup &Group(int number) const { return groups[number - 3]; }

    // Picks a file to open: (initial directory, filter) -> chosen path, or empty when cancelled.
    std::function<QString(const QString &dir, const QString &filter)> OpenDialog1;

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
    void CheckBox13Click() { ExitModeClick(0); }
    void CheckBox14Click() { ExitModeClick(1); }
    void CheckBox15Click() { ExitModeClick(2); }
    void CheckBox16Click() { ExitModeClick(3); }
    void Button1Click();
    void Button2Click();
    void BuildCommandLine(QLineEdit *target);

    // Running the tool. RunAndCapture leaves the whole output in Memo1 and tells how the run ended.
    void BitBtn1Click();
    runner::ToolEnd RunAndCapture(const QString &commandLine);
    void StopRun();        // Stop in the run strip, or Escape during a run
    void ShowOutputEnd();  // the run strip's way to the end of the output
    widgets::RunStrip *RunStrip1;

    // Byte editors and the device's fuse layout.
    void ApplyFuseLayout();
    void MaskEdit30Change() { HexChange(3); }
    void MaskEdit40Change() { HexChange(4); }
    void MaskEdit50Change() { HexChange(5); }
    void MaskEdit60Change() { HexChange(6); }
    void MaskEdit31Change() { BinaryChange(3); }
    void MaskEdit41Change() { BinaryChange(4); }
    void MaskEdit51Change() { BinaryChange(5); }
    void MaskEdit61Change() { BinaryChange(6); }
    static QChar MaskEdit31KeyPress(QChar typed);
    void CheckBoxClick(int group, int bit);  // the rule behind CheckBox30Click ... CheckBox67Click

    // Single-byte reads and writes.
    void BuildReadCommand(QLineEdit *target, const QString &operation);
    void BuildWriteCommand(QLineEdit *target);
    void SpeedButton1Click() { ReadFuseByte(3); }
    void SpeedButton2Click() { ReadFuseByte(4); }
    void SpeedButton3Click() { ReadFuseByte(5); }
    void SpeedButton4Click() { ReadFuseByte(6); }
    void SpeedButton5Click();
    void SpeedButton6Click();
    void SpeedButton7Click() { WriteFuseByte(3); }
    void SpeedButton8Click() { WriteFuseByte(4); }
    void SpeedButton9Click() { WriteFuseByte(5); }
    void SpeedButton10Click() { WriteFuseByte(6); }
    void SpeedButton11Click();

    // Settings.
    void LoadSettings();
    bool SaveSettings();  // false when the file could not be written (the user has been told)

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
    void HexChange(int group);
    void BinaryChange(int group);
    void ReadFuseByte(int group);
    void ReadHexList(QLineEdit *target, const QString &memory, int count, MaskEdit *field);
    void WriteFuseByte(int group);  // only a complete value, and one that may lock the chip out after asking
    void WriteByte(MaskEdit *field, const QString &memory);
    // The value each group last read, and for which device text; shown when a write asks first.
    std::array<QString, 4> lastRead_;
    std::array<QString, 4> lastReadDevice_;
    QStringList OutputLines() const;
    void ReportNoValue(const QString &what);
    bool ReadSucceeded(const runner::ToolEnd &end, const QString &what);
    void MaskEdit80Change();  // the signature names its chip
    void SignatureMenu(QMenu &menu);
    void BrowseInto(QLineEdit *field);
    void SetMemoBounds(int top, int height);

    // One run of the tool: `onText` gets its output as it arrives, `onShow` is called at a human rate.
    runner::ToolEnd RunCommand(const QString &commandLine, const std::function<void(const QString &)> &onText,
                               const std::function<void()> &onShow = {});

    bool running_ = false;
    bool closeAfterRun_ = false;  // the user chose "Stop and close" during a run
    bool closeWithoutSaving_ = false;  // the user chose to close although the settings could not be saved
    std::function<void()> stop_;  // ends the run under way
    int memoBottomGap_ = 3;  // the output pane keeps its distance to the window's bottom edge
};
