// The settings file: loaded once at start-up, saved when the window closes.
#include "app/settings.h"

#include "app/form1.h"
#include "app/ini_file.h"
#include "app/messages.h"
#include "compose/vocabulary.h"

#include <array>
#include <cstdio>

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>

namespace {

const QString kConfig = QStringLiteral("Config");
const QString kReadLines = QStringLiteral("ReadFuseFromLine");
const QString kFileName = QStringLiteral("Fusewerk.ini");

int DesignDeviceCount() { return static_cast<int>(compose::DesignDeviceList().size()); }
int DesignProgrammerCount() { return static_cast<int>(compose::DesignProgrammerList().size()); }
int PortListCount() { return static_cast<int>(compose::PortList().size()); }

// Every key of "Config" and the control that holds its value, in the order the keys are written;
// the option and exit-mode boxes follow, with the keys of their own tables.
struct Setting {
    enum class Kind {
        Index,    // a combo box's item index
        Pick,     // the same, and by its text too when it is an appended entry (see below)
        Text,     // a field's text
        Caption,  // the window's caption
    };
    const char *key;
    Kind kind;
    ComboBox *TForm1::*box = nullptr;     // Index, Pick
    QLineEdit *TForm1::*field = nullptr;  // Text
    const char *fallback = "";            // Text, Caption; an index falls back to 0
    // Pick: the key of the text, and how many entries the list holds before those appended at run
    // time (the installed avrdude's parts and programmers, the machine's serial ports), whose places
    // shift between starts.
    const char *nameKey = nullptr;
    int (*ownEntries)() = nullptr;
    bool keepsTyped = false;  // a text typed into the box is kept by its text too
};
using Kind = Setting::Kind;
constexpr Setting kSettings[] = {
    {"FlashFormat", Kind::Index, &TForm1::flashFormat},
    {"EEPROMFormat", Kind::Index, &TForm1::eepromFormat},
    {"Device", Kind::Pick, &TForm1::deviceBox, nullptr, "", "DeviceName", DesignDeviceCount},
    {"Programmer", Kind::Pick, &TForm1::programmerBox, nullptr, "", "ProgrammerName", DesignProgrammerCount},
    // A port typed in (an emulator's, a USB-serial port plugged in after the start) comes back too.
    {"Port", Kind::Pick, &TForm1::portBox, nullptr, "", "PortName", PortListCount, true},
    {"Flash", Kind::Text, nullptr, &TForm1::flashFile},
    {"EEPROM", Kind::Text, nullptr, &TForm1::eepromFile},
    {"ExtraCommandLine", Kind::Text, nullptr, &TForm1::extraOptions},
    {"Caption", Kind::Caption, nullptr, nullptr, "Fusewerk 1"},
};

void LoadPick(const IniFile &ini, const Setting &row, ComboBox *box)
{
    box->SetItemIndex(ini.ReadInteger(kConfig, QLatin1String(row.key), 0));
    const QString name = ini.ReadString(kConfig, QLatin1String(row.nameKey), QString());
    if (name.isEmpty())
        return;
    // Selected by its text; gone from the list, its text stays as if typed. Either way quietly: the
    // start-up's last step brings everything in line.
    box->SetItemIndex(box->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive));
    const QSignalBlocker quiet(box);
    box->SetText(name);
    box->lineEdit()->setCursorPosition(0);  // a long name shows its start
}

void SavePick(IniFile &ini, const Setting &row, const ComboBox *box)
{
    const int index = box->ItemIndex();
    // A saved name that this avrdude or machine does not list still shows as its text: it stays
    // saved, both keys as they were, until the user picks something else.
    const QString saved = ini.ReadString(kConfig, QLatin1String(row.nameKey), QString());
    if (index < 0 && !saved.isEmpty() && box->Text() == saved)
        return;
    ini.WriteInteger(kConfig, QLatin1String(row.key), index);
    const bool appended = index >= row.ownEntries() || (row.keepsTyped && index < 0 && !box->Text().isEmpty());
    // The name is written for a pick from the appended entries, and emptied when it was there before.
    if (appended || ini.Value(kConfig, QLatin1String(row.nameKey)))
        ini.WriteString(kConfig, QLatin1String(row.nameKey), appended ? box->Text() : QString());
}

// The boxes of a switch table with their settings keys.
template <typename Table, std::size_t N>
void LoadSwitches(const IniFile &ini, const Table &table, const std::array<QCheckBox *, N> &boxes)
{
    for (std::size_t row = 0; row < N; ++row)
        boxes[row]->setChecked(ini.ReadBool(kConfig, QLatin1String(table[row].key), false));
}

template <typename Table, std::size_t N>
void SaveSwitches(IniFile &ini, const Table &table, const std::array<QCheckBox *, N> &boxes)
{
    for (std::size_t row = 0; row < N; ++row)
        ini.WriteBool(kConfig, QLatin1String(table[row].key), boxes[row]->isChecked());
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
    ReadLineTable.clear();
    for (const QString &programmer : ReadLineProgrammers())
        ReadLineTable.insert(programmer, ini.ReadInteger(kReadLines, programmer, DefaultReadLine(programmer)));

    // Item indexes are set quietly; texts and boxes change as the user would change them, and each
    // real change runs its handler.
    for (const Setting &row : kSettings) {
        const QString key = QLatin1String(row.key);
        switch (row.kind) {
        case Kind::Index:
            (this->*row.box)->SetItemIndex(ini.ReadInteger(kConfig, key, 0));
            break;
        case Kind::Pick:
            LoadPick(ini, row, this->*row.box);
            break;
        case Kind::Text:
            (this->*row.field)->setText(ini.ReadString(kConfig, key, QString::fromUtf8(row.fallback)));
            break;
        case Kind::Caption:
            setWindowTitle(ini.ReadString(kConfig, key, QString::fromUtf8(row.fallback)));
            break;
        }
    }
    LoadSwitches(ini, compose::OptionTable, optionBoxes);
    LoadSwitches(ini, compose::ExitModeTable, exitModeBoxes);
    QGuiApplication::setApplicationDisplayName(deviceBox->Text());
}

bool TForm1::SaveSettings()
{
    const QString path = SettingsPath();
    IniFile ini = IniFile::Load(path);
    for (const Setting &row : kSettings) {
        const QString key = QLatin1String(row.key);
        switch (row.kind) {
        case Kind::Index:
            ini.WriteInteger(kConfig, key, (this->*row.box)->ItemIndex());
            break;
        case Kind::Pick:
            SavePick(ini, row, this->*row.box);
            break;
        case Kind::Text:
            ini.WriteString(kConfig, key, (this->*row.field)->text());
            break;
        case Kind::Caption:
            ini.WriteString(kConfig, key, windowTitle());
            break;
        }
    }
    SaveSwitches(ini, compose::OptionTable, optionBoxes);
    SaveSwitches(ini, compose::ExitModeTable, exitModeBoxes);

    QDir().mkpath(QFileInfo(path).absolutePath());
    if (ini.Save(path))
        return true;
    // A file that stays unwritable (a folder of that name, a read-only file, a full disk) must not
    // keep the window from ever closing.
    if (ending_) {  // nobody to answer a box: said where a signal's sender may read it
        std::fprintf(stderr, "fusewerk: unable to write to %s\n", qPrintable(path));
        return false;
    }
    closeWithoutSaving_ =
        ShowErrorOffering(this, QStringLiteral("Unable to write to %1").arg(path), QStringLiteral("Close without saving"));
    return false;
}

void TForm1::ProgComboBoxChange()
{
    // Exact and with case; a text that matches no programmer keeps the index it had.
    if (const auto line = ReadLineTable.constFind(programmerBox->Text()); line != ReadLineTable.cend())
        ReadLineIndex = *line;
    DeviceComboBoxChange();
}
