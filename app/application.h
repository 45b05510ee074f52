#pragma once
// The application object: an error that escapes a handler is shown, and the program goes on.
#include <QApplication>

class Application : public QApplication {
public:
    Application(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
};
