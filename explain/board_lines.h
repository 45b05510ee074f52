#pragma once
// The boards of the installed Arduino cores from the command line, without a display:
//   fusewerk --boards [--core DIR]...
//   fusewerk --board-menus FQBN [--core DIR]...
//   fusewerk --board-lines FQBN[:MENU=OPTION,...] -c PROGRAMMER [-P PORT] [--core DIR]... [--yes]
// --boards lists every board (its FQBN, name and core folder); --board-menus a board's menus, one
// line per option (menu id, menu caption, option id, option caption, the default first);
// --board-lines prints the avrdude lines "Burn Bootloader" runs for a board with those options (the
// others at the menu's first), one per line. `--core` adds a core folder (or a folder of cores) to
// those found. The older "BOARD[:OPTION,...]" names a board by its id and options by their ids.
#include <QStringList>

// `arguments`: those after the command's own word. Exit status: 0; 2 for an unknown board, menu or
// option, a bootloader that is missing or does not fit, bad arguments (said on standard error); 3
// for lines the gate asks about, without --yes; 1 when the output could not be written.
int RunBoards(const QStringList &arguments);
int RunBoardMenus(const QStringList &arguments);
int RunBoardLines(const QStringList &arguments);
// "fusewerk --attached [--core DIR]...": one line for each programmer, board or serial adapter plugged in.
int RunAttached(const QStringList &arguments);
