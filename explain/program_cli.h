#pragma once
// A whole chip from one ELF file, without a display, board after board from a script:
//   fusewerk --program FILE.elf -p PART -c PROGRAMMER [-P PORT] [--serial-at ADDR --serial N]
//            [--log FILE] [--verify] [--yes]
// The chip's signature is read first; then erase, flash, EEPROM, the serial number, the file's
// fuses and lock, each verified, in one avrdude run. --verify compares instead of writing.
#include <QStringList>

// `arguments`: those after "--program". Exit status: 0 done; 1 a step failed (the wrong chip, a
// failed run or verify); 2 bad arguments or a file that cannot be programmed into the part; 3 a write
// the guard asks about, without --yes (named on standard error; nothing ran).
int RunProgram(const QStringList &arguments);
