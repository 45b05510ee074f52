#pragma once
// A snapshot of the window's controls that bear on a command line, named after the controls.
#include <QString>

namespace compose {

struct FormState {
    QString DeviceComboBox{"ATmega8"};
    QString ProgComboBox{"usbasp"};
    QString PortComboBox;
    QString Edit1;      // flash file name
    QString Edit2;      // EEPROM file name
    QString Edit4;      // extra options, verbatim
    QString ComboBox4;  // flash format
    QString ComboBox5;  // EEPROM format
    bool FlashWrite = false, FlashRead = false, FlashVerify = false;
    bool EEPROMWrite = false, EEPROMRead = false, EEPROMVerify = false;
    // Options: -D, -e, -F, -n, -q, -t, -V, -v.
    bool CheckBox1 = false, CheckBox2 = false, CheckBox7 = false, CheckBox8 = false;
    bool CheckBox9 = false, CheckBox10 = false, CheckBox11 = false, CheckBox12 = false;
    // Exit modes: reset, noreset, vcc, novcc.
    bool CheckBox13 = false, CheckBox14 = false, CheckBox15 = false, CheckBox16 = false;
};

}  // namespace compose
