// The settings file: loaded once at start-up, saved when the window closes.
#include "app/settings.h"

#include "app/form1.h"
#include "app/ini_file.h"
#include "app/messages.h"
#include "compose/vocabulary.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>

namespace {

const QString kConfig = QStringLiteral("Config");
const QString kReadLines = QStringLiteral("ReadFuseFromLine");
const QString kFileName = QStringLiteral("Fusewerk.ini");

// "Opt1" to "Opt8" follow the boxes on screen, left column first: Opt7 is -v, Opt8 is -V.
QCheckBox *TForm1::*const kOptionKeys[] = {&TForm1::CheckBox1, &TForm1::CheckBox2,  &TForm1::CheckBox7,
                                           &TForm1::CheckBox8, &TForm1::CheckBox9,  &TForm1::CheckBox10,
                                           &TForm1::CheckBox12, &TForm1::CheckBox11};
QCheckBox *TForm1::*const kExitModeKeys[] = {&TForm1::CheckBox13, &TForm1::CheckBox14, &TForm1::CheckBox15,
                                             &TForm1::CheckBox16};

}  // namespace

QString ChooseSettingsPath(const QString &exeDir, bool exeDirWritable, const QString &userConfigDir)
{
    return QDir(exeDirWritable ? exeDir : userConfigDir).filePath(kFileName);
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

    const QStringList programmers = ReadLineProgrammers();
    for (qsizetype i = 0; i < programmers.size(); ++i)
        ReadLineTable[i] = ini.ReadInteger(kReadLines, programmers[i], DefaultReadLine(programmers[i]));

    ComboBox4->SetItemIndex(ini.ReadInteger(kConfig, QStringLiteral("FlashFormat"), 0));
    ComboBox5->SetItemIndex(ini.ReadInteger(kConfig, QStringLiteral("EEPROMFormat"), 0));
    DeviceComboBox->SetItemIndex(ini.ReadInteger(kConfig, QStringLiteral("Device"), 0));
    ProgComboBox->SetItemIndex(ini.ReadInteger(kConfig, QStringLiteral("Programmer"), 0));
    PortComboBox->SetItemIndex(ini.ReadInteger(kConfig, QStringLiteral("Port"), 0));

    // These change the controls as the user would: each real change runs its handler.
    Edit1->setText(ini.ReadString(kConfig, QStringLiteral("Flash"), QString()));
    Edit2->setText(ini.ReadString(kConfig, QStringLiteral("EEPROM"), QString()));
    Edit4->setText(ini.ReadString(kConfig, QStringLiteral("ExtraCommandLine"), QString()));
    for (int i = 0; i < 8; ++i)
        (this->*kOptionKeys[i])->setChecked(ini.ReadBool(kConfig, QStringLiteral("Opt%1").arg(i + 1), false));
    for (int i = 0; i < 4; ++i)
        (this->*kExitModeKeys[i])->setChecked(ini.ReadBool(kConfig, QStringLiteral("ExitMode%1").arg(i + 1), false));

    QGuiApplication::setApplicationDisplayName(DeviceComboBox->Text());
}

bool TForm1::SaveSettings()
{
    const QString path = SettingsPath();
    IniFile ini = IniFile::Load(path);
    ini.WriteInteger(kConfig, QStringLiteral("FlashFormat"), ComboBox4->ItemIndex());
    ini.WriteInteger(kConfig, QStringLiteral("EEPROMFormat"), ComboBox5->ItemIndex());
    ini.WriteInteger(kConfig, QStringLiteral("Device"), DeviceComboBox->ItemIndex());
    ini.WriteInteger(kConfig, QStringLiteral("Programmer"), ProgComboBox->ItemIndex());
    ini.WriteInteger(kConfig, QStringLiteral("Port"), PortComboBox->ItemIndex());
    ini.WriteString(kConfig, QStringLiteral("Flash"), Edit1->text());
    ini.WriteString(kConfig, QStringLiteral("EEPROM"), Edit2->text());
    ini.WriteString(kConfig, QStringLiteral("ExtraCommandLine"), Edit4->text());
    ini.WriteString(kConfig, QStringLiteral("Caption"), windowTitle());
    for (int i = 0; i < 8; ++i)
        ini.WriteBool(kConfig, QStringLiteral("Opt%1").arg(i + 1), (this->*kOptionKeys[i])->isChecked());
    for (int i = 0; i < 4; ++i)
        ini.WriteBool(kConfig, QStringLiteral("ExitMode%1").arg(i + 1), (this->*kExitModeKeys[i])->isChecked());

    QDir().mkpath(QFileInfo(path).absolutePath());
    if (ini.Save(path))
        return true;
    ShowError(this, QStringLiteral("Unable to write to %1").arg(path));
    return false;
}

void TForm1::ProgComboBoxChange()
{
    // Exact and with case; a text that matches no programmer keeps the index it had.
    const QStringList programmers = ReadLineProgrammers();
    for (qsizetype i = 0; i < programmers.size(); ++i)
        if (ProgComboBox->Text() == programmers[i])
            ReadLineIndex = ReadLineTable[i];
    DeviceComboBoxChange();
}
