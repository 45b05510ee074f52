#include "app/desktop.h"

#include "app/form1.h"

#include <QSerialPortInfo>

std::function<QStringList()> ListSerialPorts = [] {
    QStringList ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports << info.systemLocation();
    return ports;
};

void SetToolTips(TForm1 &form)
{
    // avrdude's own descriptions of its flags, as its usage text and manual give them.
    const std::pair<QWidget *, const char *> tips[] = {
        {form.CheckBox1, "-D: disable auto erase for flash memory. Without it, avrdude erases the whole chip "
                         "before it writes the flash. Implies -A (trailing 0xff bytes are not removed)."},
        {form.CheckBox2, "-e: perform a chip erase. Flash and EEPROM become 0xff and all lock bits are cleared."},
        {form.CheckBox7, "-F: override avrdude's signature check. avrdude then goes on even when the device "
                         "signature is wrong or unreadable; this does not verify the signature, it skips "
                         "that check. Use with care: it can program the wrong chip."},
        {form.CheckBox8, "-n: do not write anything to the device (a dry run)."},
        {form.CheckBox9, "-q: quell the progress bar while reading or writing."},
        {form.CheckBox10, "-t: enter avrdude's interactive terminal mode instead of reading or writing files. "
                          "Here it ends at once, as nothing is typed into it."},
        {form.CheckBox12, "-v: verbose output."},
        {form.CheckBox11, "-V: do not verify after writing."},
        {form.CheckBox13, "-E reset: leave /RESET active (held low) at exit, keeping the chip in reset."},
        {form.CheckBox14, "-E noreset: release /RESET at exit, so the program on the chip runs while the "
                          "programmer stays connected."},
        {form.CheckBox15, "-E vcc: leave the parallel port pins that supply Vcc active (high) at exit."},
        {form.CheckBox16, "-E novcc: pull the parallel port's Vcc pins low at exit."},
        {form.SpeedButton1, "Read the low fuse byte (lfuse) from the chip"},
        {form.SpeedButton2, "Read the high fuse byte (hfuse) from the chip"},
        {form.SpeedButton3, "Read the lock byte (lock) from the chip"},
        {form.SpeedButton4, "Read the extended fuse byte (efuse) from the chip"},
        {form.SpeedButton5, "Read the calibration bytes (calibration) from the chip"},
        {form.SpeedButton6, "Read the signature bytes (signature) from the chip"},
        {form.SpeedButton7, "Write this low fuse byte (lfuse) to the chip"},
        {form.SpeedButton8, "Write this high fuse byte (hfuse) to the chip"},
        {form.SpeedButton9, "Write this lock byte (lock) to the chip"},
        {form.SpeedButton10, "Write this extended fuse byte (efuse) to the chip"},
        {form.SpeedButton11, "Write these calibration bytes (calibration) to the chip"},
        {form.Button1, "Choose the flash image file (or drop a file on the Flash row)"},
        {form.Button2, "Choose the EEPROM image file (or drop a file on the EEPROM row)"},
        {form.BitBtn1, "Run the command line with avrdude"},
    };
    for (const auto &[widget, text] : tips)
        widget->setToolTip(QString::fromUtf8(text));
}
