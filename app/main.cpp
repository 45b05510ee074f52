#include "app/application.h"
#include "app/form1.h"
#include "app/messages.h"

#include <exception>

int main(int argc, char **argv)
{
    Application app(argc, argv);
    try {
        TForm1 Form1;
        Form1.show();
        return app.exec();
    } catch (const std::exception &error) {
        ShowError(nullptr, QString::fromLocal8Bit(error.what()));
        return 1;
    }
}
