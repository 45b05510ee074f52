#include "app/application.h"

#include "app/messages.h"

#include <QIcon>

#include <exception>

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Fusewerk"));
    setDesktopFileName(QStringLiteral("fusewerk"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("fusewerk")));
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        ShowError(activeWindow(), QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowError(activeWindow(), QStringLiteral("Unknown error"));
    }
    return false;
}
