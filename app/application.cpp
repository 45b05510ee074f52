#include "app/application.h"

#include "window/messages.h"

#include <QIcon>

#include <exception>

Application::Application(int &argc, char **argv) : QApplication(argc, argv)
{
    // The icons live in a resource of the app library; without this line the linker drops them from
    // the program.
    Q_INIT_RESOURCE(icons);
    setApplicationName(QStringLiteral("Fusewerk"));
    setApplicationVersion(QStringLiteral(FUSEWERK_VERSION));
    setDesktopFileName(QStringLiteral("fusewerk"));
    // From the program itself, so the window and task list show it wherever the program was started.
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/fusewerk-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
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
