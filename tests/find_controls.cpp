// A window's controls found by their design names, as a test, a benchmark or a tool finds them.
#include "tests/find_controls.h"

#include <QScrollArea>
#include <QSplitter>

window::Controls Ui(const QWidget &w)
{
    const auto find = [&w]<typename T>(T *&into, const QString &name) { into = w.findChild<T *>(name); };
    window::Controls ui;
    find(ui.deviceBox, QStringLiteral("DeviceComboBox"));
    find(ui.programmerBox, QStringLiteral("ProgComboBox"));
    find(ui.portBox, QStringLiteral("PortComboBox"));
    find(ui.extraOptions, QStringLiteral("Edit4"));
    find(ui.flashRow, QStringLiteral("GroupBox1"));
    find(ui.eepromRow, QStringLiteral("GroupBox2"));
    find(ui.flashWrite, QStringLiteral("FlashWrite"));
    find(ui.flashRead, QStringLiteral("FlashRead"));
    find(ui.flashVerify, QStringLiteral("FlashVerify"));
    find(ui.eepromWrite, QStringLiteral("EEPROMWrite"));
    find(ui.eepromRead, QStringLiteral("EEPROMRead"));
    find(ui.eepromVerify, QStringLiteral("EEPROMVerify"));
    find(ui.flashFile, QStringLiteral("Edit1"));
    find(ui.eepromFile, QStringLiteral("Edit2"));
    find(ui.flashBrowse, QStringLiteral("Button1"));
    find(ui.eepromBrowse, QStringLiteral("Button2"));
    find(ui.flashFormat, QStringLiteral("ComboBox4"));
    find(ui.eepromFormat, QStringLiteral("ComboBox5"));
    for (std::size_t i = 0; i < fuses::kFuseByteCount; ++i)
        find(ui.byteEditors[i], QLatin1String(fuses::FuseByteTable[i].groupName));
    find(ui.readAllButton, QStringLiteral("ReadAllFuses"));
    find(ui.programmerFit, QStringLiteral("ProgrammerFit"));
    find(ui.fuseSettingsGroup, QStringLiteral("FuseSettingsGroup"));
    find(ui.fuseSettings, QStringLiteral("FuseSettings"));
    find(ui.boardBox, QStringLiteral("BoardComboBox"));
    find(ui.burnButton, QStringLiteral("BurnBootloader"));
    find(ui.boardMenus, QStringLiteral("BoardMenus"));
    find(ui.boardStatus, QStringLiteral("BoardStatus"));
    find(ui.boardLinesButton, QStringLiteral("BoardLines"));
    find(ui.uploadSetting, QStringLiteral("UploadSetting"));
    find(ui.attachedBoardButton, QStringLiteral("AttachedBoard"));
    find(ui.memoriesButton, QStringLiteral("ShowMemories"));
    find(ui.designForm, QStringLiteral("DesignForm"));
    find(ui.designScroll, QStringLiteral("DesignScroll"));
    find(ui.panelScroll, QStringLiteral("PanelScroll"));
    find(ui.leftSplitter, QStringLiteral("LeftSplitter"));
    find(ui.mainSplitter, QStringLiteral("MainSplitter"));
    find(ui.uploadButton, QStringLiteral("BoardUpload"));
    find(ui.addCoreButton, QStringLiteral("AddCoreFolder"));
    find(ui.programButton, QStringLiteral("ProgramChip"));
    find(ui.calibrationGroup, QStringLiteral("GroupBox7"));
    find(ui.signatureGroup, QStringLiteral("GroupBox8"));
    find(ui.calibrationRead, QStringLiteral("SpeedButton5"));
    find(ui.calibrationWrite, QStringLiteral("SpeedButton11"));
    find(ui.signatureRead, QStringLiteral("SpeedButton6"));
    find(ui.calibrationField, QStringLiteral("MaskEdit70"));
    find(ui.signatureField, QStringLiteral("MaskEdit80"));
    find(ui.detectButton, QStringLiteral("DetectButton"));
    find(ui.signaturePart, QStringLiteral("SignaturePart"));
    find(ui.optionsGroup, QStringLiteral("Options"));
    find(ui.exitModeGroup, QStringLiteral("GroupBox9"));
    for (std::size_t i = 0; i < ui.optionBoxes.size(); ++i)
        find(ui.optionBoxes[i], QLatin1String(compose::OptionTable[i].name));
    for (std::size_t i = 0; i < ui.exitModeBoxes.size(); ++i)
        find(ui.exitModeBoxes[i], QLatin1String(compose::ExitModeTable[i].name));
    const std::pair<QCheckBox *window::Controls::*, const char *> named[] = {
        {&window::Controls::disableAutoEraseBox, "CheckBox1"}, {&window::Controls::chipEraseBox, "CheckBox2"},
        {&window::Controls::overrideSignatureBox, "CheckBox7"}, {&window::Controls::noWriteBox, "CheckBox8"},
        {&window::Controls::quietBox, "CheckBox9"},             {&window::Controls::terminalBox, "CheckBox10"},
        {&window::Controls::verboseBox, "CheckBox12"},          {&window::Controls::noVerifyBox, "CheckBox11"},
        {&window::Controls::resetBox, "CheckBox13"},            {&window::Controls::noResetBox, "CheckBox14"},
        {&window::Controls::vccBox, "CheckBox15"},              {&window::Controls::noVccBox, "CheckBox16"},
    };
    for (const auto &[member, name] : named)
        find(ui.*member, QLatin1String(name));
    find(ui.commandLine, QStringLiteral("Edit3"));
    find(ui.executeButton, QStringLiteral("BitBtn1"));
    find(ui.outputPane, QStringLiteral("Memo1"));
    find(ui.runStrip, QStringLiteral("RunStrip1"));
    return ui;
}
