// The program's own start-up, ending as soon as the window has first been shown: the installed
// avrdude's lists asked (through their cache) before the window is made, as the program does.
// With two arguments, the lists come from that avrdude and cache file instead.
#include "app/application.h"
#include "window/main_window.h"
#include "installed/installed_avrdude.h"

#include <QTest>

int main(int argc, char **argv)
{
    Application app(argc, argv);
    WindowDeps deps;
    deps.vocabulary = argc == 3 ? LoadInstalledAvrdude(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]))
                                : AskInstalledAvrdude();
    MainWindow form(std::move(deps));
    form.show();
    return QTest::qWaitForWindowExposed(&form) ? 0 : 1;
}
