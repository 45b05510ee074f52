#pragma once
// A whole chip from one ELF file, without a display, board after board from a script:
//   fusewerk --program FILE.elf -p PART (-c PROGRAMMER [-P PORT] | --station "-c ID -P PORT"...)
//            [--count N] [--serial-at ADDR --serial FIRST] [--log FILE] [--verify] [--yes]
// The chip's signature is read first; then erase, flash, EEPROM, the serial number, the file's
// fuses and lock, each verified, in one avrdude run. Several stations program side by side, each
// taking the next board as soon as it is free; --count boards in all (without it, each station
// one). --verify compares instead of writing, with one programmer.
#include <QStringList>

// `arguments`: those after "--program". Exit status: 0 every board done; 1 a board failed (the
// wrong chip, a failed run or verify; the log says which); 2 bad arguments or a file that cannot be
// programmed into the part (nothing ran); 3 a write the guard asks about, without --yes (named on
// standard error; nothing ran).
int RunProgram(const QStringList &arguments);
// Told to end (a termination signal): the boards under way are stopped, their numbers given back
// and logged, and RunProgram returns.
void StopProgram();
