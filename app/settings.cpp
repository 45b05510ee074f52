// The settings file: loaded once at start-up, saved when the window closes.
#include "app/settings.h"

#include "app/form1.h"
#include "app/ini_file.h"
#include "app/messages.h"
#include "compose/vocabulary.h"

#include <array>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>

namespace {

const QString kConfig = QStringLiteral("Config");
const QString kReadLines = QStringLiteral("ReadFuseFromLine");
const QString kFileName = QStringLiteral("Fusewerk.ini");

// A box whose list the window appends to at run time (the installed avrdude's parts and
// programmers, the machine's serial ports). Its place in the list is kept as ever; a pick from the
// appended part is kept by its text too, since places there shift between starts.
struct NamedBox {
    ComboBox *box;
    const char *indexKey, *nameKey;
    int ownEntries;  // the list's own entries, before the appended ones
};

std::array<NamedBox, 3> NamedBoxes(const TForm1 &form)
{
    return {{{form.DeviceComboBox, "Device", "DeviceName", static_cast<int>(compose::DesignDeviceList().size())},
             {form.ProgComboBox, "Programmer", "ProgrammerName", static_cast<int>(compose::DesignProgrammerList().size())},
             {form.PortComboBox, "Port", "PortName", static_cast<int>(compose::PortList().size())}}};
}

void LoadPick(const IniFile &ini, const NamedBox &b)
{
    b.box->SetItemIndex(ini.ReadInteger(kConfig, QLatin1String(b.indexKey), 0));
    const QString name = ini.ReadString(kConfig, QLatin1String(b.nameKey), QString());
    if (name.isEmpty())
        return;
    // Selected by its text; gone from the list, its text stays as if typed. Either way quietly: the
    // start-up's last step brings everything in line.
    const int index = b.box->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    b.box->SetItemIndex(index);
    const QSignalBlocker quiet(b.box);
    b.box->SetText(name);
    b.box->lineEdit()->setCursorPosition(0);  // a long name shows its start
}

void SavePick(IniFile &ini, const NamedBox &b)
{
    const int index = b.box->ItemIndex();
    ini.WriteInteger(kConfig, QLatin1String(b.indexKey), index);
    const bool appended = index >= b.ownEntries;
    // The name is written for a pick from the appended entries, and emptied when it was there before.
    if (appended || ini.Value(kConfig, QLatin1String(b.nameKey)))
        ini.WriteString(kConfig, QLatin1String(b.nameKey), appended ? b.box->Text() : QString());
}

}  // namespace

QString ChooseSettingsPath(const QString &exeDir, bool exeDirWritable, const QString &userConfigDir)
{
    // An installed copy (the package, "cmake --install") keeps each user's settings apart, even for
    // root, who may write to the system's program folders.
    const QString dir = QDir::cleanPath(exeDir);
    const bool installed = dir.endsWith(QLatin1String("/usr/bin")) || dir.endsWith(QLatin1String("/usr/local/bin")) ||
                           dir.endsWith(QLatin1String("/usr/games"));
    return QDir(exeDirWritable && !installed ? exeDir : userConfigDir).filePath(kFileName);
}

QStringList ReadLineProgrammers() { return compose::ProgrammerList().mid(1); }

int DefaultReadLine(const QString &programmer) { return programmer == QLatin1String("usbasp") ? 1 : 0; }

QString TForm1::SettingsPath() const
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    return ChooseSettingsPath(exeDir, QFileInfo(exeDir).isWritable(),
                              QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

void TForm1::LoadSettings()
{
    const IniFile ini = IniFile::Load(SettingsPath());
    setWindowTitle(ini.ReadString(kConfig, QStringLiteral("Caption"), QStringLiteral("Fusewerk 1")));

    ReadLineTable.clear();
    for (const QString &programmer : ReadLineProgrammers())
        ReadLineTable.insert(programmer, ini.ReadInteger(kReadLines, programmer, DefaultReadLine(programmer)));

    ComboBox4->SetItemIndex(ini.ReadInteger(kConfig, QStringLiteral("FlashFormat"), 0));
    ComboBox5->SetItemIndex(ini.ReadInteger(kConfig, QStringLiteral("EEPROMFormat"), 0));
    for (const NamedBox &box : NamedBoxes(*this))
        LoadPick(ini, box);

    // These change the controls as the user would: each real change runs its handler.
    Edit1->setText(ini.ReadString(kConfig, QStringLiteral("Flash"), QString()));
    Edit2->setText(ini.ReadString(kConfig, QStringLiteral("EEPROM"), QString()));
    Edit4->setText(ini.ReadString(kConfig, QStringLiteral("ExtraCommandLine"), QString()));
    for (std::size_t row = 0; row < optionBoxes.size(); ++row)
        optionBoxes[row]->setChecked(ini.ReadBool(kConfig, QLatin1String(compose::OptionTable[row].key), false));
    for (std::size_t row = 0; row < exitModeBoxes.size(); ++row)
        exitModeBoxes[row]->setChecked(ini.ReadBool(kConfig, QLatin1String(compose::ExitModeTable[row].key), false));

    QGuiApplication::setApplicationDisplayName(DeviceComboBox->Text());
}

bool TForm1::SaveSettings()
{
    const QString path = SettingsPath();
    IniFile ini = IniFile::Load(path);
    ini.WriteInteger(kConfig, QStringLiteral("FlashFormat"), ComboBox4->ItemIndex());
    ini.WriteInteger(kConfig, QStringLiteral("EEPROMFormat"), ComboBox5->ItemIndex());
    for (const NamedBox &box : NamedBoxes(*this))
        SavePick(ini, box);
    ini.WriteString(kConfig, QStringLiteral("Flash"), Edit1->text());
    ini.WriteString(kConfig, QStringLiteral("EEPROM"), Edit2->text());
    ini.WriteString(kConfig, QStringLiteral("ExtraCommandLine"), Edit4->text());
    ini.WriteString(kConfig, QStringLiteral("Caption"), windowTitle());
    for (std::size_t row = 0; row < optionBoxes.size(); ++row)
        ini.WriteBool(kConfig, QLatin1String(compose::OptionTable[row].key), optionBoxes[row]->isChecked());
    for (std::size_t row = 0; row < exitModeBoxes.size(); ++row)
        ini.WriteBool(kConfig, QLatin1String(compose::ExitModeTable[row].key), exitModeBoxes[row]->isChecked());

    QDir().mkpath(QFileInfo(path).absolutePath());
    if (ini.Save(path))
        return true;
    // A file that stays unwritable (a folder of that name, a read-only file, a full disk) must not
    // keep the window from ever closing.
    closeWithoutSaving_ =
        ShowErrorOffering(this, QStringLiteral("Unable to write to %1").arg(path), QStringLiteral("Close without saving"));
    return false;
}

void TForm1::ProgComboBoxChange()
{
    // Exact and with case; a text that matches no programmer keeps the index it had.
    if (const auto line = ReadLineTable.constFind(ProgComboBox->Text()); line != ReadLineTable.cend())
        ReadLineIndex = *line;
    DeviceComboBoxChange();
}
