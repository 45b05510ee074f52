#pragma once
// Notices, in the output as it passes, that avrdude could not open the port or the USB programmer for
// lack of permission, the usual trouble of a new Linux setup, and says how to mend it.
#include "runner/line_splitter.h"

#include <QString>

namespace runner {

class PermissionWatch : public LineWatch {
public:
    void seeLine(QStringView line, bool cut) override;
    QList<QLatin1StringView> keys() const override
    {
        return {QLatin1StringView("permission"), QLatin1StringView("access denied")};
    }
    // Empty when the output shows no such trouble.
    QString hint() const;

private:
    QString port_;     // the serial port that could not be opened
    bool usb_ = false;
};

}  // namespace runner
