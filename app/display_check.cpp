#include "app/display_check.h"

#include <xcb/xcb.h>

QString DisplayProblem()
{
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const bool x11 = platform.startsWith(QLatin1String("xcb")) ||
                     (platform.isEmpty() && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
    if (!x11)
        return {};
    const QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty())
        return QStringLiteral("no display could be opened: DISPLAY is not set");
    // Qt would abort with a core dump on a display it cannot reach; ask first.
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const bool failed = xcb_connection_has_error(connection) != 0;
    xcb_disconnect(connection);
    return failed ? QStringLiteral("no display could be opened: cannot connect to X server %1").arg(display)
                  : QString();
}
