#pragma once
// The boards of the installed Arduino cores as the Arduino IDE shows them: each board of a core's
// boards.txt once, with its menus (Tools > Clock, BOD, ...) and their options; a board's properties
// for a choice of options, as the IDE expands them (platform.txt, the IDE's own, the board's keys,
// the chosen options' keys).
#include "boards/properties.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace boards {

struct Core {
    QString folder;  // the folder of its boards.txt and platform.txt: runtime.platform.path
    QString vendor, arch, version;
    QString name;    // platform.txt's name, else the vendor's
    Properties platform;
};

struct MenuOption {
    QString id, caption;
};

struct Menu {
    QString id, caption;
    std::vector<MenuOption> options;  // in the board's own order: the first is what the IDE preselects
    const MenuOption *option(const QString &id) const;
};

// A menu option for each of a board's menus that has one chosen (menu id to option id).
using Options = QHash<QString, QString>;

struct Board {
    std::shared_ptr<const Core> core;
    QString id;    // uno, 328
    QString name;  // "ATmega328"
    std::vector<Menu> menus;                // in the order the core declares its menus (menu.ID=)
    Properties own;                         // the board's keys without its menus'
    QHash<QString, Properties> optionKeys;  // "menu.option": what that option sets

    // The Arduino tools' fully qualified board name: VENDOR:ARCH:BOARD.
    QString fqbn() const { return core->vendor + u':' + core->arch + u':' + id; }
    const Menu *menu(const QString &id) const;
    // `given` with the first option of every menu it leaves out; options that are none of the
    // board's are left out.
    Options withDefaults(const Options &given = {}) const;
    // "clock=8MHz_internal,BOD=2v7,...": every menu's option, in the menus' order.
    QString optionsText(const Options &options) const;
    // "ATmega328 (Internal 8 MHz, BOD 2.7V, ...)".
    QString label(const Options &options) const;
    // Everything the IDE knows of the board with these options: platform.txt's keys, the IDE's own
    // (runtime.platform.path, runtime.ide.version, build.arch, build.fqbn ...), the board's keys and
    // the options' keys, each over the ones before.
    Properties properties(const Options &options) const;
};

// What a board gives with a choice of options, expanded; an error when a value cannot be.
struct Setting {
    QString mcu, fCpu;
    QString lowFuses, highFuses, extendedFuses, unlockBits, lockBits;  // as the core writes them
    QString bootloaderFile;  // relative to the core's bootloaders/; empty: none
    QString protocol, speed; // upload.protocol, upload.speed
    QString error;
};
Setting Settle(const Board &board, const Options &options);

// The folders cores stand in: Debian's arduino-core-avr; ~/Arduino/hardware/VENDOR/ARCH;
// ~/.arduino15/packages/VENDOR/hardware/ARCH/VERSION, the newest version of each; then `extra` (a
// core the user added, or a folder of cores). Only AVR architectures, each holding a boards.txt.
QStringList CoreFolders(const QString &home, const QStringList &extra = {});

// Every board of one core (in its folder), in its boards.txt's order.
std::vector<Board> ReadCore(const QString &folder);
std::vector<Board> ReadBoards(const QStringList &folders);

// The board and options a text names: an FQBN with options (arduino:avr:uno,
// MiniCore:avr:328:clock=8MHz_internal,BOD=2v7), a board's id, id:option,option (the options by
// their ids, each in the menu that has it) or its name. `error` says what is unknown.
struct Found {
    const Board *board = nullptr;
    Options options;  // with the defaults
    QString error;
};
Found FindBoard(const std::vector<Board> &boards, const QString &text);

}  // namespace boards
