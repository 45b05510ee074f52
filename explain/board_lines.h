#pragma once
// The boards of the installed Arduino cores from the command line, without a display:
//   fusewerk --boards [--core DIR]...
//   fusewerk --board-lines "BOARD[:OPTION]" -c PROGRAMMER [-P PORT] [--core DIR]...
// --boards lists every board (core, id, option, name, part, fuses and lock); --board-lines prints
// the avrdude lines "Burn Bootloader" runs for a board, one per line. `--core` adds a core folder
// (or a folder of cores) to those found.
#include <QStringList>

// `arguments`: those after the command's own word. Exit status: 0; 2 for an unknown board, a
// bootloader that is missing or does not fit, bad arguments (said on standard error); 1 when the
// output could not be written.
int RunBoards(const QStringList &arguments);
int RunBoardLines(const QStringList &arguments);
