#pragma once
// What the window takes from outside itself, handed in when it is made: tests hand in their own.
#include "attached/attached.h"
#include "compose/installed.h"

#include <QString>
#include <QStringList>
#include <functional>

// The serial ports present now, by device path (/dev/ttyUSB0 ...).
QStringList SerialPortsPresent();

struct WindowDeps {
    // What the installed avrdude adds to the window's own lists (asked before the window is made).
    compose::InstalledAvrdude vocabulary;
    // The serial ports present now; asked at start-up and whenever the port list opens.
    std::function<QStringList()> listPorts = SerialPortsPresent;
    // The USB devices plugged in now; asked at start-up and every two seconds.
    std::function<std::vector<attached::UsbDevice>()> listUsb = [] { return attached::ScanUsb(); };
    // Picks a file to open: (initial directory, filter) -> chosen path, or empty when cancelled.
    // Empty: the desktop's file dialog.
    std::function<QString(const QString &dir, const QString &filter)> openFile;
};
