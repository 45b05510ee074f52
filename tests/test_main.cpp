#include "app/application.h"
#include "app/installed_avrdude.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);  // the program's own: errors escaping handlers are shown
    // Windows get the window's own lists unless a test says which avrdude they meet.
    QueryInstalledAvrdude = [] { return compose::InstalledAvrdude{}; };
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
