#include "runner/permission_watch.h"

#include <QRegularExpression>

namespace runner {

void PermissionWatch::seeLine(QStringView line, bool)
{
    // avrdude 7.1: "avrdude OS error: cannot open port /dev/ttyUSB0: Permission denied";
    // "cannot open USB device: Permission denied", "... set up correct usb port permissions".
    static const QRegularExpression serial(QStringLiteral("cannot open port (\\S+): Permission denied"));
    static const QRegularExpression usb(
        QStringLiteral("(cannot open USB device|unable to open USB device|cannot open device): "
                       "(Permission denied|Access denied)|usb port permissions"),
        QRegularExpression::CaseInsensitiveOption);
    if (const auto m = serial.match(line); m.hasMatch())
        port_ = m.captured(1);
    else if (usb.match(line).hasMatch())
        usb_ = true;
}

QString PermissionWatch::hint() const
{
    if (!port_.isEmpty())
        return QStringLiteral("No permission to open %1: add yourself to its group with \"sudo usermod -aG dialout "
                              "$USER\" and log in again (see Troubleshooting in the README)")
            .arg(port_);
    if (usb_)
        return QStringLiteral("No permission to open the USB programmer: add a udev rule for it and plug it in again "
                              "(see Troubleshooting in the README)");
    return {};
}

}  // namespace runner
