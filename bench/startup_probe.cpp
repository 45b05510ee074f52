// The program's own start-up, ending as soon as the window has first been shown.
#include "app/application.h"
#include "app/form1.h"

#include <QTest>

int main(int argc, char **argv)
{
    Application app(argc, argv);
    TForm1 form;
    form.show();
    return QTest::qWaitForWindowExposed(&form) ? 0 : 1;
}
