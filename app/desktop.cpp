#include "app/desktop.h"

#include "app/form1.h"
#include "compose/installed.h"

#include <QSerialPortInfo>

std::function<QStringList()> ListSerialPorts = [] {
    QStringList ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports << info.systemLocation();
    return ports;
};

void SetToolTips(TForm1 &form)
{
    // The option and exit-mode boxes take theirs from their table.
    const std::pair<QWidget *, const char *> tips[] = {
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

    // Each programmer entry says what avrdude calls it, or that this avrdude does not know it.
    if (compose::Installed().programmers.empty())
        return;
    for (int i = 1; i < form.ProgComboBox->count(); ++i) {
        const QString id = form.ProgComboBox->itemText(i);
        const compose::InstalledProgrammer *known = compose::FindInstalledProgrammer(id);
        form.ProgComboBox->setItemData(
            i, known ? known->description : QStringLiteral("The installed avrdude does not know the programmer \"%1\".").arg(id),
            Qt::ToolTipRole);
    }
}
