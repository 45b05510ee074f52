#pragma once
// Notices, in the output as it passes, that avrdude could not open the port or the USB programmer for
// lack of permission, the usual trouble of a new Linux setup, and says how to mend it.
#include <QString>

namespace runner {

class PermissionWatch {
public:
    void See(const QString &piece);
    // Empty when the output shows no such trouble.
    QString Hint() const;

private:
    void SeeLine(const QString &line);

    QString partial_;  // the line still arriving
    QString port_;     // the serial port that could not be opened
    bool usb_ = false;
};

}  // namespace runner
