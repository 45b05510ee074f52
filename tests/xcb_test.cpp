// On a real X server (Xvfb) with Qt's xcb platform: the window manager's close request during a run
// reaches the window, and input made during a run is dropped, not delivered after it. The built
// program itself: its window icon, and what becomes of a run when the program is told to end or dies.
#include "tests/printing.h"
#include "window/main_window.h"
#include "tests/helpers.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QDebug>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QMenuBar>
#include <QSplitter>
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

pid_t NotedPid(const QString &dir = OwnDir())
{
    QFile file(dir + "/tool.pid");
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toInt() : 0;
}

// The height of the window's menu bar above the design's form, as this X server's fonts make it.
int MenuHeight()
{
    QMenuBar bar;
    for (const char *menu : {"&File", "&Edit", "&Chip", "&Help"})
        bar.addMenu(QString::fromLatin1(menu));
    return bar.sizeHint().height();
}

// The built program, copied into a folder of its own with a stand-in avrdude.exe beside it (found
// there first) that notes its pid and ignores SIGTERM; its settings file lives there too.
class BuiltProgram {
public:
    // `environment` (NAME=value) added to the program's.
    explicit BuiltProgram(const QStringList &environment = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &pair : environment)
            env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
        process_.setProcessEnvironment(env);
        QFile::copy(QStringLiteral(FUSEWERK_PROGRAM), dir_.filePath("fusewerk"));
        QFile::setPermissions(dir_.filePath("fusewerk"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile tool(dir_.filePath("avrdude.exe"));
        tool.open(QIODevice::WriteOnly);
        // The start-up's questions (-p */St, -c ?) get no answer at once; a run notes its pid and waits.
        tool.write(QStringLiteral("#!/bin/sh\ncase \"$2\" in */St|\\?) exit 1;; esac\ntrap '' TERM\n"
                                  "echo $$ > \"%1/tool.pid\"\nsleep 600\n")
                       .arg(dir_.path())
                       .toUtf8());
        tool.close();
        tool.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        Start();
    }
    // Starts the program (again, once it has ended: with the settings it saved).
    void Start() { process_.start(dir_.filePath("fusewerk"), {}); }
    ~BuiltProgram()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(2000);
        }
        if (const pid_t tool = NotedPid(dir_.path()); tool > 0)
            ::kill(tool, SIGKILL);
    }
    QString Dir() const { return dir_.path(); }
    QProcess &Process() { return process_; }
    // The program's top-level window, once it is shown.
    Window FindWindow(Display *display)
    {
        const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
        Window found = 0;
        QTest::qWaitFor([&] {
            Window root, parent, *children = nullptr;
            unsigned count = 0;
            XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
            for (unsigned i = 0; i < count && !found; ++i) {
                Atom type;
                int format;
                unsigned long items, after;
                unsigned char *data = nullptr;
                XWindowAttributes attributes;
                if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                                       &after, &data) == Success &&
                    data && items == 1 && *reinterpret_cast<long *>(data) == process_.processId() &&
                    XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable)
                    found = children[i];
                if (data)
                    XFree(data);
            }
            if (children)
                XFree(children);
            return found != 0;
        }, 5000);
        return found;
    }
    // Clicks Execute (the window stands where the program puts it; there is no window manager).
    void ClickExecute(Display *display, Window window)
    {
        XWindowAttributes attributes;
        XGetWindowAttributes(display, window, &attributes);
        int x = 0, y = 0;
        Window child;
        XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
        QProcess::execute("xdotool", {"mousemove", QString::number(x + 560), QString::number(y + MenuHeight() + 509), "click", "1"});
    }

private:
    QTemporaryDir dir_;
    QProcess process_;
};

// Starts the built program, clicks Execute and waits until the stand-in runs; its pid, or 0.
pid_t StartARun(BuiltProgram &program, Display *display)
{
    const Window window = program.FindWindow(display);
    if (!window)
        return 0;
    program.ClickExecute(display, window);
    QTest::qWaitFor([&] { return NotedPid(program.Dir()) > 0; }, 5000);
    return NotedPid(program.Dir());
}

}  // namespace

TEST(OnX11, ACloseRequestDuringARunAsksAndCancelLetsTheRunGoOn)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    // The tool runs until the test lets it end: the close request surely comes during the run.
    const QString go = OwnDir() + "/go";
    QFile::remove(go);
    StandIn tool(QStringLiteral("echo started; while [ ! -e \"%1\" ]; do sleep 0.02; done; echo done").arg(go));
    auto form = MakeForm();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    Watch watch;  // Cancel
    watch.answer = false;
    bool askedDuringRun = false;
    watch.whileAsked = [&] { askedDuringRun = form->running(); };
    Ui(*form).commandLine->setText("avrdude.exe");
    QTest::mouseClick(Ui(*form).executeButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Ui(*form).outputPane->outputText().contains("started"); }, 10000));
    SendCloseRequest(*form);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watch.questions.empty(); }, 10000));
    EXPECT_TRUE(askedDuringRun) << "the question came during the run, not after it";
    QFile(go).open(QIODevice::WriteOnly);
    WaitForRun(*form);
    QFile::remove(go);
    EXPECT_EQ(watch.questions, std::vector<QString>{"avrdude is still running. Stop it and close?"});
    EXPECT_EQ(Ui(*form).outputPane->outputText(), "started\ndone\n") << "the run went on to its end";
    // A close that Cancel had refused would follow the run's end from the event loop: it does not.
    bool after = false;
    QTimer::singleShot(0, form.get(), [&] { after = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return after; }, 5000));
    EXPECT_TRUE(form->isVisible());
}

TEST(OnX11, StopAndCloseEndsTheToolSavesTheSettingsAndCloses)
{
    SettingsFile none;
    StandIn tool(QStringLiteral("echo $$ > \"%1/tool.pid\"; sleep 30").arg(OwnDir()));
    auto form = std::make_unique<MainWindow>();
    Ui(*form).extraOptions->setText("-B 4");
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    Watch watch;
    watch.answer = true;  // Stop and close
    QFile::remove(OwnDir() + "/tool.pid");
    Ui(*form).commandLine->setText("avrdude.exe");
    QTest::mouseClick(Ui(*form).executeButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([] { return QFile::exists(OwnDir() + "/tool.pid"); }, 10000)) << "the tool runs";
    QElapsedTimer clock;
    clock.start();
    SendCloseRequest(*form);
    WaitForRun(*form);
    EXPECT_LT(clock.elapsed(), 3000) << "the 30 s tool was stopped";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 2000));
    EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("Stopped"));
    EXPECT_TRUE(SettingsFile::Read().contains("ExtraCommandLine=-B 4")) << SettingsFile::Read().toStdString();
    const pid_t pid = NotedPid();
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !ProcessRuns(pid); }, 2000));
}

TEST(OnX11, ClicksDuringARunAreDroppedNotDeliveredAfterIt)
{
    StandIn tool(QStringLiteral("echo run >> \"%1/runs.log\"; sleep 30").arg(OwnDir()));
    QFile::remove(OwnDir() + "/runs.log");
    auto form = MakeForm();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const auto at = [](QWidget *w) {
        const QPoint p = w->mapToGlobal(w->rect().center());
        return QStringList{"mousemove", QString::number(p.x()), QString::number(p.y()), "click", "1"};
    };
    Ui(*form).commandLine->setText("avrdude.exe");
    QTest::mouseClick(Ui(*form).executeButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([] { return QFile::exists(OwnDir() + "/runs.log"); }, 10000)) << "the tool runs";
    // The run gave the output the form's room; the user drags the form open again.
    Ui(*form).leftSplitter->setSizes({Ui(*form).designForm->height(), 100});
    QTest::qWait(50);
    // Real clicks through the X server on "Execute" and on the -e box while the tool runs, then on
    // Stop: the X server keeps their order, so once the run has stopped the first two were handled.
    QProcess::execute("xdotool", at(Ui(*form).executeButton) + at(Ui(*form).chipEraseBox) +
                                     at(Ui(*form).runStrip->stopButton()));
    WaitForRun(*form);
    EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("Stopped")) << Ui(*form).runStrip->text().toStdString();
    // A click held back would be delivered from the event loop now, and start a second run.
    bool after = false;
    QTimer::singleShot(0, form.get(), [&] { after = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return after; }, 5000));
    EXPECT_FALSE(form->running());
    QFile log(OwnDir() + "/runs.log");
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(), "run\n");
    EXPECT_FALSE(Ui(*form).chipEraseBox->isChecked());
    // The same clicks after the run do reach the window.
    QProcess::execute("xdotool", at(Ui(*form).chipEraseBox));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Ui(*form).chipEraseBox->isChecked(); }, 2000));
}

TEST(BuiltProgram, TheWindowHasItsIcon)
{
    BuiltProgram program;
    Display *display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Window window = program.FindWindow(display);
    ASSERT_NE(window, 0u);
    Atom type;
    int format;
    unsigned long items = 0, after;
    unsigned char *data = nullptr;
    XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), 0, 1 << 20, False, XA_CARDINAL,
                       &type, &format, &items, &after, &data);
    EXPECT_GT(items, 16u * 16u) << "_NET_WM_ICON holds at least one picture";
    if (data)
        XFree(data);
    XCloseDisplay(display);
}

TEST(BuiltProgram, ASignalStopsTheRunSavesTheSettingsAndEnds)
{
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        BuiltProgram program;
        Display *display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr);
        const pid_t tool = StartARun(program, display);
        XCloseDisplay(display);
        ASSERT_GT(tool, 0) << "the run started";
        ::kill(static_cast<pid_t>(program.Process().processId()), signal);
        ASSERT_TRUE(program.Process().waitForFinished(3000)) << strsignal(signal);
        EXPECT_EQ(program.Process().exitStatus(), QProcess::NormalExit) << strsignal(signal);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !ProcessRuns(tool); }, 2000));
        QFile settings(program.Dir() + "/Fusewerk.ini");
        ASSERT_TRUE(settings.open(QIODevice::ReadOnly)) << "saved on " << strsignal(signal);
        EXPECT_TRUE(settings.readAll().contains("Device=")) << strsignal(signal);
    }
}

TEST(BuiltProgram, AToolEndsWhenTheProgramDiesWithoutAWord)
{
    BuiltProgram program;
    Display *display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const pid_t tool = StartARun(program, display);
    XCloseDisplay(display);
    ASSERT_GT(tool, 0);
    program.Process().kill();  // SIGKILL: no chance to stop anything
    program.Process().waitForFinished(2000);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !ProcessRuns(tool); }, 1000));
}

// The device box's filter list is a popup: a click elsewhere closes it and still reaches the field
// it was aimed at, so the text typed next lands there (and is saved), not in the device box.
TEST(BuiltProgram, AClickOutsideTheFilterListReachesItsTarget)
{
    BuiltProgram program;
    Display *display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Window window = program.FindWindow(display);
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    XCloseDisplay(display);
    ASSERT_NE(window, 0u);
    // The device box, then the flash file's field, where the design puts them (below the menu bar).
    const auto at = [&](int left, int top) {
        return QStringList{"mousemove", QString::number(x + left), QString::number(y + MenuHeight() + top), "click", "1"};
    };
    // ("type" takes every word after it as text: one command each.)
    QProcess::execute("xdotool", at(55, 34) + QStringList{"type", "--delay", "30", "ATmega8"});
    QProcess::execute("xdotool", at(248, 90) + QStringList{"type", "--delay", "30", "blink.hex"});
    ::kill(static_cast<pid_t>(program.Process().processId()), SIGTERM);
    ASSERT_TRUE(program.Process().waitForFinished(5000));
    QFile settings(program.Dir() + "/Fusewerk.ini");
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    const QByteArray saved = settings.readAll();
    EXPECT_TRUE(saved.contains("\nFlash=blink.hex\n")) << saved.toStdString();
}

namespace {

// Where a top-level window stands on its screen, and how large it is.
QRect OnScreen(Display *display, Window window)
{
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return QRect(x, y, attributes.width, attributes.height);
}

// An X server of its own with one screen of `size`, for as long as it lives.
class OwnServer {
public:
    explicit OwnServer(const QString &size)
    {
        server_.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", size + "x24"});
        if (server_.waitForReadyRead(10000))
            name_ = ':' + QString::fromLatin1(server_.readLine()).trimmed();
    }
    ~OwnServer()
    {
        server_.terminate();
        server_.waitForFinished(3000);
    }
    QString Name() const { return name_; }

private:
    QProcess server_;
    QString name_;
};

}  // namespace

// At twice the scale on a 1920x1080 screen the window opens within the screen, the form in view.
TEST(BuiltProgram, AtTwiceTheScaleTheWindowOpensWithinTheScreen)
{
    OwnServer server("1920x1080");
    ASSERT_FALSE(server.Name().isEmpty());
    BuiltProgram program({"DISPLAY=" + server.Name(), "QT_SCALE_FACTOR=2"});
    Display *display = XOpenDisplay(server.Name().toLocal8Bit().constData());
    ASSERT_NE(display, nullptr);
    const Window window = program.FindWindow(display);
    ASSERT_NE(window, 0u);
    const QRect at = OnScreen(display, window);
    EXPECT_TRUE(QRect(0, 0, 1920, 1080).contains(at)) << QDebug::toString(at).toStdString();
    EXPECT_GE(at.width(), 1600) << "as large as the screen allows";
    XCloseDisplay(display);
}

// Moved and made larger by the user, the window opens there and at that size the next time.
TEST(BuiltProgram, TheWindowOpensWhereAndAsLargeAsItWasClosed)
{
    BuiltProgram program;
    Display *display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    Window window = program.FindWindow(display);
    ASSERT_NE(window, 0u);
    XMoveResizeWindow(display, window, 37, 21, 900, 640);
    XSync(display, False);
    ASSERT_TRUE(QTest::qWaitFor([&] { return OnScreen(display, window) == QRect(37, 21, 900, 640); }, 3000));
    QTest::qWait(300);  // the program hears of it
    ::kill(static_cast<pid_t>(program.Process().processId()), SIGTERM);
    ASSERT_TRUE(program.Process().waitForFinished(3000));
    program.Start();
    window = program.FindWindow(display);
    ASSERT_NE(window, 0u);
    EXPECT_EQ(OnScreen(display, window), QRect(37, 21, 900, 640));
    XCloseDisplay(display);
}
