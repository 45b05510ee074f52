#pragma once
// A snapshot of the window's values that bear on a command line, named for what they mean.
#include <QString>

namespace compose {

struct FormState {
    // One memory's row: its file, the file's format name and the operations wanted on it.
    struct Memory {
        QString file;
        QString format;
        bool write = false, read = false, verify = false;
    };
    // The option boxes: -D, -e, -F, -n, -q, -t, -V, -v.
    struct Options {
        bool disableAutoErase = false, chipErase = false, overrideSignature = false, noWrite = false;
        bool quiet = false, terminal = false, noVerify = false, verbose = false;
    };
    // The exit modes: reset, noreset, vcc, novcc.
    struct ExitModes {
        bool reset = false, noReset = false, vcc = false, noVcc = false;
    };

    QString device{"ATmega8"};
    QString programmer{"usbasp"};
    QString port;
    QString extraOptions;  // verbatim
    Memory flash, eeprom;
    Options options;
    ExitModes exitModes;
    // A board's upload setting, while it is in force (Upload Setup): a sketch through the board's
    // bootloader at this speed, and no chip erase. Empty: none.
    QString uploadSpeed;
};

}  // namespace compose
