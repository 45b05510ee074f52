#pragma once
// The boards of the installed Arduino cores: each board of a core's boards.txt, once for every
// combination of its menus' options that set what a chip needs (its part, fuses, lock, bootloader,
// upload protocol and speed), with those values as the core gives them.
#include <QString>
#include <QStringList>
#include <vector>

namespace boards {

struct Board {
    QString core;     // the core's folder
    QString id;       // uno, atmegang
    QString option;   // the menus' option ids, in the menus' order, joined by ","; empty without menus
    QString name;     // "Arduino NG or older (ATmega168)"
    QString mcu;      // build.mcu: atmega328p
    QString fCpu;     // build.f_cpu: 16000000L
    QString lowFuses, highFuses, extendedFuses;  // bootloader.*_fuses; empty: no write of that byte
    QString unlockBits, lockBits;
    QString bootloaderFile;  // bootloader.file as the core names it (relative to its bootloaders/)
    QString protocol, speed; // upload.protocol, upload.speed

    // "uno", "atmegang:atmega168": how the command line names it.
    QString key() const { return option.isEmpty() ? id : id + u':' + option; }
    // The bootloader image's path; empty when the board names none.
    QString bootloaderPath() const;
};

// The folders a core may stand in: Debian's arduino-core-avr, the Arduino IDE's packages under
// ~/.arduino15 and the sketchbook's hardware folder under ~/Arduino, each holding a boards.txt;
// then `extra` (a folder the user added: a core itself, or a folder of cores).
QStringList CoreFolders(const QString &home, const QStringList &extra = {});

// Every board of one core's boards.txt (in its folder `core`), in the file's order.
std::vector<Board> ReadCore(const QString &core);
// Every board of every core found (CoreFolders).
std::vector<Board> ReadBoards(const QStringList &cores);

// The board a text names: its key (uno, atmegang:atmega168), or its name; a board with menus
// named without an option is its first option. Null when none.
const Board *FindBoard(const std::vector<Board> &boards, const QString &text);

}  // namespace boards
