#include "app/application.h"
#include "window/messages.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);  // the program's own: errors escaping handlers are shown
    // A message box nobody expected fails the test at once with its text (a real one would wait for
    // an answer that never comes); tests that expect one watch for it.
    SetMessageHook([](MessageKind, const QString &, const QString &text) {
        ADD_FAILURE() << "unexpected message box: " << text.toStdString();
    });
    SetQuestionHook([](const QString &text) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    });
    SetChoiceHook([](const QString &text, const QStringList &) {
        ADD_FAILURE() << "unexpected choice: " << text.toStdString();
        return QString();
    });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
