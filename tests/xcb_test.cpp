// On a real X server (Xvfb) with Qt's xcb platform: the window manager's close request during a run
// reaches the window, and input made during a run is dropped, not delivered after it.
#include "tests/printing.h"
#include "app/form1.h"
#include "tests/helpers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>

namespace {

// What a window manager sends when the user clicks the title bar's close button.
void SendCloseRequest(QWidget &window)
{
    Display *display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = static_cast<Window>(window.winId());
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
}

pid_t NotedPid()
{
    QFile file(OwnDir() + "/tool.pid");
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toInt() : 0;
}

}  // namespace

TEST(OnX11, ACloseRequestDuringARunAsksAndCancelLetsTheRunGoOn)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    StandIn tool("sleep 1.5; echo done");
    auto form = MakeForm();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    Watch watch;  // Cancel
    QElapsedTimer clock;
    qint64 askedAt = -1;
    watch.answer = false;
    QTimer::singleShot(300, form.get(), [&] { SendCloseRequest(*form); });
    QTimer::singleShot(900, form.get(), [&] { askedAt = watch.questions.empty() ? -1 : clock.elapsed(); });
    clock.start();
    form->commandLine->setText("avrdude.exe");
    ClickAndWait(form->executeButton);
    EXPECT_GE(askedAt, 0) << "the question came during the run, not after it";
    EXPECT_EQ(watch.questions, std::vector<QString>{"avrdude is still running. Stop it and close?"});
    EXPECT_EQ(form->outputPane->Text(), "done\n") << "the run went on to its end";
    QTest::qWait(200);
    EXPECT_TRUE(form->isVisible());
}

TEST(OnX11, StopAndCloseEndsTheToolSavesTheSettingsAndCloses)
{
    SettingsFile none;
    StandIn tool(QStringLiteral("echo $$ > \"%1/tool.pid\"; sleep 30").arg(OwnDir()));
    auto form = std::make_unique<TForm1>();
    form->extraOptions->setText("-B 4");
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    Watch watch;
    watch.answer = true;  // Stop and close
    QTimer::singleShot(300, form.get(), [&] { SendCloseRequest(*form); });
    QElapsedTimer clock;
    clock.start();
    form->commandLine->setText("avrdude.exe");
    ClickAndWait(form->executeButton);
    EXPECT_LT(clock.elapsed(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!form->isVisible(), 2000);
    EXPECT_TRUE(form->runStrip->Text().startsWith("Stopped"));
    EXPECT_TRUE(SettingsFile::Read().contains("ExtraCommandLine=-B 4")) << SettingsFile::Read().toStdString();
    const pid_t pid = NotedPid();
    ASSERT_GT(pid, 0);
    QTRY_VERIFY_WITH_TIMEOUT(!ProcessRuns(pid), 2000);
}

TEST(OnX11, ClicksDuringARunAreDroppedNotDeliveredAfterIt)
{
    StandIn tool(QStringLiteral("echo run >> \"%1/runs.log\"; sleep 1").arg(OwnDir()));
    QFile::remove(OwnDir() + "/runs.log");
    auto form = MakeForm();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    // Real clicks through the X server, on "Execute" and on the -e box, while the tool runs.
    const auto click = [](QWidget *w) {
        const QPoint at = w->mapToGlobal(w->rect().center());
        QProcess::execute("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
    };
    QTimer::singleShot(300, form.get(), [&] {
        click(form->executeButton);
        click(form->chipEraseBox);
    });
    form->commandLine->setText("avrdude.exe");
    ClickAndWait(form->executeButton);
    QTest::qWait(1500);  // a second run, had a click been held back, would have started and ended here
    QFile log(OwnDir() + "/runs.log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(), "run\n");
    EXPECT_FALSE(form->chipEraseBox->isChecked());
    // The same clicks after the run do reach the window.
    click(form->chipEraseBox);
    QTRY_VERIFY_WITH_TIMEOUT(form->chipEraseBox->isChecked(), 2000);
}
