#include "settings/settings.h"

#include "compose/options.h"
#include "settings/ini_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <variant>

namespace settings {
namespace {

const QString kConfig = QStringLiteral("Config");
const QString kReadLines = QStringLiteral("ReadFuseFromLine");
const QString kFileName = QStringLiteral("Fusewerk.ini");

// A pick saved by index, and by its text under `nameKey` when it is an appended entry.
struct PickKey {
    Pick Saved::*member;
    const char *nameKey;
    int OwnEntries::*own;
    bool keepsTyped;  // a text typed into the box is kept by its text too
};

// Every key of "Config", in the order the keys are written, and what it holds; the option and
// exit-mode boxes follow, with the keys of their own tables.
struct Setting {
    const char *key;
    std::variant<int Saved::*, PickKey, QString Saved::*> value;
    const char *fallback = "";  // a text's; an index falls back to 0
};
const Setting kSettings[] = {
    {"FlashFormat", &Saved::flashFormat},
    {"EEPROMFormat", &Saved::eepromFormat},
    {"Device", PickKey{&Saved::device, "DeviceName", &OwnEntries::devices, false}},
    {"Programmer", PickKey{&Saved::programmer, "ProgrammerName", &OwnEntries::programmers, false}},
    // A port typed in (an emulator's, a USB-serial port plugged in after the start) comes back too.
    {"Port", PickKey{&Saved::port, "PortName", &OwnEntries::ports, true}},
    {"Flash", &Saved::flash},
    {"EEPROM", &Saved::eeprom},
    {"ExtraCommandLine", &Saved::extraOptions},
    {"Caption", &Saved::caption, "Fusewerk 1"},
};
// Keys of our own, after the ones above and the boxes': each written only once it holds something,
// so a file that never used them stays as it was.
const std::pair<const char *, QString Saved::*> kAddedSettings[] = {
    {"Board", &Saved::board},
    {"CoreFolder", &Saved::coreFolder},
    {"ProgramFile", &Saved::programFile},
    {"ProgramLog", &Saved::programLog},
    {"SerialAddress", &Saved::serialAddress},
    {"SerialNext", &Saved::serialNext},
    {"SerialFree", &Saved::serialFree},
    {"SerialPending", &Saved::serialPending},
    {"Stations", &Saved::stations},
    {"BoardOptions", &Saved::boardOptions},
    {"RecentImages", &Saved::recentImages},
    {"WindowGeometry", &Saved::windowGeometry},
};

// One walk of the table for both directions: `Loading` reads the file into `saved`, otherwise
// `saved` is written into the file.
template <bool Loading, typename Ini, typename Values>
void Walk(Ini &ini, Values &saved, OwnEntries own)
{
    for (const Setting &row : kSettings) {
        const QString key = QLatin1String(row.key);
        std::visit(
            [&](auto member) {
                using M = decltype(member);
                if constexpr (std::is_same_v<M, int Saved::*>) {
                    if constexpr (Loading)
                        saved.*member = ini.ReadInteger(kConfig, key, 0);
                    else
                        ini.WriteInteger(kConfig, key, saved.*member);
                } else if constexpr (std::is_same_v<M, QString Saved::*>) {
                    if constexpr (Loading)
                        saved.*member = ini.ReadString(kConfig, key, QString::fromUtf8(row.fallback));
                    else
                        ini.WriteString(kConfig, key, saved.*member);
                } else {
                    const QString nameKey = QLatin1String(member.nameKey);
                    const QString name = ini.ReadString(kConfig, nameKey, QString());
                    if constexpr (Loading) {
                        saved.*member.member = {ini.ReadInteger(kConfig, key, 0), name};
                    } else {
                        const Pick &pick = saved.*member.member;
                        // A saved name that this avrdude or machine does not list still shows as
                        // its text: it stays saved, both keys as they were, until the user picks
                        // something else.
                        if (pick.index < 0 && !name.isEmpty() && pick.text == name)
                            return;
                        ini.WriteInteger(kConfig, key, pick.index);
                        const bool appended = pick.index >= own.*member.own ||
                                              (member.keepsTyped && pick.index < 0 && !pick.text.isEmpty());
                        // The name is written for a pick from the appended entries, and emptied when
                        // it was there before.
                        if (appended || ini.Value(kConfig, nameKey))
                            ini.WriteString(kConfig, nameKey, appended ? pick.text : QString());
                    }
                }
            },
            row.value);
    }
    const auto switches = [&](const auto &table, auto &group) {
        for (const auto &row : table) {
            if constexpr (Loading)
                group.*row.member = ini.ReadBool(kConfig, QLatin1String(row.key), false);
            else
                ini.WriteBool(kConfig, QLatin1String(row.key), group.*row.member);
        }
    };
    switches(compose::OptionTable, saved.options);
    switches(compose::ExitModeTable, saved.exitModes);
    for (const auto &[name, member] : kAddedSettings) {
        const QString key = QLatin1String(name);
        if constexpr (Loading)
            saved.*member = ini.ReadString(kConfig, key, QString());
        else if (!(saved.*member).isEmpty() || ini.Value(kConfig, key))
            ini.WriteString(kConfig, key, saved.*member);
    }
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

QString SettingsPath()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    return ChooseSettingsPath(exeDir, QFileInfo(exeDir).isWritable(),
                              QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

QStringList ReadLineProgrammers(const QStringList &programmerList) { return programmerList.mid(1); }

int DefaultReadLine(const QString &programmer) { return programmer == QLatin1String("usbasp") ? 1 : 0; }

Saved Load(const QString &path, const QStringList &programmers)
{
    const IniFile ini = IniFile::Load(path);
    Saved saved;
    Walk<true>(ini, saved, {});
    for (const QString &programmer : programmers)
        saved.readLines.insert(programmer, ini.ReadInteger(kReadLines, programmer, DefaultReadLine(programmer)));
    return saved;
}

bool Save(const QString &path, const Saved &saved, OwnEntries own)
{
    IniFile ini = IniFile::Load(path);
    Walk<false>(ini, saved, own);
    QDir().mkpath(QFileInfo(path).absolutePath());
    return ini.Save(path);
}

}  // namespace settings
