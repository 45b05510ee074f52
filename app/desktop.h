#pragma once
// What makes the window at home on a Linux desktop: the serial ports of the machine, and tooltips
// that say what each avrdude option does.
#include <QStringList>
#include <functional>

class TForm1;

// The serial ports present now, by device path (/dev/ttyUSB0 ...). Tests put a list of their own.
extern std::function<QStringList()> ListSerialPorts;

void SetToolTips(TForm1 &form);
