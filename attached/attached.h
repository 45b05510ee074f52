#pragma once
// What is plugged in: the USB devices of the machine as the kernel lists them in sysfs, each
// matched with the installed avrdude's programmers (by vendor and product id, and by their strings
// where several share an id) and with the installed cores' boards (vid.N/pid.N), serial adapters
// named as such, and whether the user may open each one, with the fix where not.
#include "boards/boards.h"
#include "compose/installed.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace attached {

// One USB device as sysfs gives it.
struct UsbDevice {
    QString sysPath;  // /sys/devices/pci0000:00/.../1-2
    int bus = 0, address = 0;
    quint16 vendor = 0, product = 0;
    QString manufacturer, productName, serial;
    QString node;        // /dev/bus/usb/001/003
    QStringList ports;   // its serial ports: /dev/ttyACM0 ...
    QString serialDriver;  // the kernel driver of its serial port: cdc_acm, ftdi_sio, ch341, cp210x ...
};

// Every USB device below `sys` (/sys), its device nodes under `dev` (/dev); root hubs left out.
std::vector<UsbDevice> ScanUsb(const QString &sys = QStringLiteral("/sys"), const QString &dev = QStringLiteral("/dev"));

struct BoardOnPort {
    QString name, fqbn, protocol;  // "Arduino Uno", "arduino:avr:uno", "arduino"
};

// A device with what it is for the user.
struct Found {
    UsbDevice device;
    QStringList programmers;            // avrdude programmer ids, the best match first
    std::vector<BoardOnPort> boards;    // the cores' boards with its ids
    bool serialAdapter = false;         // a serial port with no board or programmer of its own
    bool mayOpen = true;                // the user may read and write its device node or port
    QString fix;                        // what lets the user open it, where they may not
    // "/dev/ttyACM0", or "usb 001/003".
    QString where() const;
    // "USBasp (www.fischl.de)".
    QString name() const;
    // "-c usbasp", "-P /dev/ttyACM0: Arduino Uno (arduino:avr:uno)"...
    QString choice() const;
};

// `devices` matched with avrdude's programmers and the boards, each with whether this user may open
// it; what is none of them and has no serial port (a hub, a keyboard) is left out.
std::vector<Found> Match(const std::vector<UsbDevice> &devices, const std::vector<compose::InstalledProgrammer> &programmers,
                         const std::vector<boards::Board> &boards);

// One line each for `fusewerk --attached`.
QStringList AttachedLines(const std::vector<Found> &found);

}  // namespace attached
