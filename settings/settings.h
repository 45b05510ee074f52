#pragma once
// The settings file: what the window keeps between starts, by key, in "Fusewerk.ini". Every key
// of the "Config" section is declared once, in the settings table (the option and exit-mode boxes
// carry theirs in their own tables); loading and saving walk the same table.
#include "compose/form_state.h"

#include <QHash>
#include <QString>
#include <QStringList>

namespace settings {

// A list's choice: its item index, and the text it shows (saved by name for an entry appended at
// run time, whose place shifts between starts).
struct Pick {
    int index = 0;
    QString text;
};

// What the settings hold, by meaning.
struct Saved {
    int flashFormat = 0, eepromFormat = 0;
    Pick device, programmer, port;
    QString flash, eeprom, extraOptions;
    QString caption;
    QString board, coreFolder;  // the chosen board (its FQBN), and a core folder the user added
    QString boardOptions;       // its menus' options: "clock=8MHz_internal,BOD=2v7,..."
    QString recentImages;       // the images opened last, the newest first, joined by "|"
    QString windowGeometry;     // where the window stood and how large it was: "x,y,width,height"
    // Program Chip: the ELF file, the log, the serial number's EEPROM address (empty: no serial
    // numbers) and the next serial number.
    QString programFile, programLog, serialAddress, serialNext;
    // The serial numbers given back by boards that failed ("1003,1007"), and those handed out to
    // boards under way ("1004@-c%20usbasp...", the station percent-encoded): kept before a number
    // is used, so that none is used twice across a crash.
    QString serialFree, serialPending;
    QString stations;  // Program Chip's stations, each as "-c usbasp -P usb:A1B2", joined by " ; "
    compose::FormState::Options options;
    compose::FormState::ExitModes exitModes;
    QHash<QString, int> readLines;  // "ReadFuseFromLine": programmer id -> output line of a read's value
};

// "Fusewerk.ini" beside the executable when that directory is writable and not a system program
// folder (…/usr/bin, …/usr/local/bin, …/usr/games); otherwise in the per-user configuration directory.
QString ChooseSettingsPath(const QString &exeDir, bool exeDirWritable, const QString &userConfigDir);
// The path for this program, formed afresh for each load and save.
QString SettingsPath();

// The programmer identifiers of "ReadFuseFromLine": the programmer list without its empty entry.
QStringList ReadLineProgrammers(const QStringList &programmerList);
// The line a programmer's read finds its value on when the file says nothing.
int DefaultReadLine(const QString &programmer);

// The settings in the file at `path` (a missing file gives the defaults); `programmers`: those whose
// read line is kept.
Saved Load(const QString &path, const QStringList &programmers);
// Writes `saved` into the file at `path`, keeping every other key it holds; false when it could not
// be written. The entries the window's own lists hold before those appended at run time are
// `ownEntries` for the device, programmer and port boxes.
struct OwnEntries {
    int devices = 0, programmers = 0, ports = 0;
};
bool Save(const QString &path, const Saved &saved, OwnEntries own);

}  // namespace settings
