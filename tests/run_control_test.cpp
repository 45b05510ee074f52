// Stopping runs, their outcome in the run strip, and avrdude's progress bars.
#include "tests/printing.h"
#include "window/main_window.h"
#include "runner/outcome.h"
#include "runner/progress_watch.h"
#include "tests/helpers.h"

#include <QFile>
#include <QTest>
#include <QScrollBar>
#include <QTextBlock>
#include <gtest/gtest.h>

#include <signal.h>

namespace {

// A stand-in that notes its own pid, then runs `rest`.
StandIn Noting(const QString &rest) { return StandIn(QStringLiteral("echo $$ > \"%1/tool.pid\"; %2").arg(OwnDir(), rest)); }

// True when the process noted in the file still runs a second after the run ended (a signal takes a
// moment to land; a process that died but was not yet reaped counts as gone).
bool Alive(const char *pidFile)
{
    QFile file(OwnDir() + "/" + pidFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const pid_t pid = file.readAll().trimmed().toInt();
    return !QTest::qWaitFor([&] { return !ProcessRuns(pid); }, 1000);
}

// Clicks `button`, waits until the stand-in has noted its pid (the run is under way), then presses
// Stop, or Escape somewhere in the window, and waits for the run's end.
void ClickThenStop(MainWindow &form, QAbstractButton *button, bool escape = false, const QString &shown = {})
{
    QFile::remove(OwnDir() + "/tool.pid");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([] { return QFile::exists(OwnDir() + "/tool.pid"); }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Ui(form).outputPane->outputText().contains(shown); }, 5000)) << shown.toStdString();
    if (escape)
        QTest::keyClick(Ui(form).extraOptions, Qt::Key_Escape);
    else
        QTest::mouseClick(Ui(form).runStrip->stopButton(), Qt::LeftButton);
    WaitForRun(form);
}

}  // namespace

TEST(RunControl, StopEndsExecuteAReadAndAWriteAtOnceLeavingNothingBehind)
{
    auto form = MakeForm();
    form->show();
    Watch watch;
    {
        StandIn tool = Noting("echo 'avrdude: verification error'; sleep 30");
        Ui(*form).commandLine->setText("avrdude.exe");
        QElapsedTimer clock;
        clock.start();
        ClickThenStop(*form, Ui(*form).executeButton, false, "avrdude: verification error\n");
        EXPECT_LT(clock.elapsed(), 3000);
        EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("Stopped after 0.")) << Ui(*form).runStrip->text().toStdString();
        EXPECT_EQ(Ui(*form).outputPane->outputText(), "avrdude: verification error\n") << "the output so far stays";
        EXPECT_TRUE(watch.messages.empty() && watch.tones.empty()) << "a stopped run is no failed verify";
        EXPECT_FALSE(Alive("tool.pid"));
        EXPECT_TRUE(Ui(*form).executeButton->isEnabled());
    }
    {
        StandIn tool = Noting("echo 225; sleep 30");
        Ui(*form).byteEditor(Low)->hexField()->setMaskedText("3C");
        ClickThenStop(*form, Ui(*form).byteEditor(Low)->readButton(), true, "225");
        EXPECT_EQ(Ui(*form).byteEditor(Low)->hexField()->maskedText(), "3C");
        EXPECT_TRUE(watch.messages.empty()) << "the user's own Stop brings no box";
        EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("Stopped after")) << Ui(*form).runStrip->text().toStdString();
        EXPECT_FALSE(Alive("tool.pid"));
    }
    {
        StandIn tool = Noting("sleep 30");
        Ui(*form).byteEditor(High)->hexField()->setMaskedText("D9");  // a value written without a question
        ClickThenStop(*form, Ui(*form).byteEditor(High)->writeButton());
        EXPECT_TRUE(Ui(*form).runStrip->text().startsWith("Stopped")) << Ui(*form).runStrip->text().toStdString();
        EXPECT_FALSE(Alive("tool.pid"));
    }
}

TEST(RunControl, AChildThatKeepsThePipeOpenEndsWithTheTool)
{
    // The tool ends at once; what it left running would hold the output open for 30 s.
    StandIn tool(QStringLiteral("(sleep 30; echo late) & echo $! > \"%1/child.pid\"; echo main done").arg(OwnDir()));
    auto form = MakeForm();
    QElapsedTimer clock;
    clock.start();
    form->session().execute("avrdude.exe");
    WaitForRun(*form);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(Ui(*form).outputPane->outputText(), "main done\n");
    EXPECT_FALSE(Alive("child.pid"));
    // And a child of a stopped tool goes with it.
    StandIn stopped = Noting(QStringLiteral("(sleep 30) & echo $! > \"%1/child.pid\"; sleep 30").arg(OwnDir()));
    form->show();
    Ui(*form).commandLine->setText("avrdude.exe");
    ClickThenStop(*form, Ui(*form).executeButton);
    EXPECT_FALSE(Alive("child.pid"));
}

TEST(RunControl, EachOutcomeInTheStrip)
{
    auto form = MakeForm();
    form->show();
    Watch watch;
    const auto run = [&](const QString &script, const QString &line) {
        StandIn tool(script);
        Ui(*form).commandLine->setText(line);
        ClickAndWait(Ui(*form).executeButton);
        return Ui(*form).runStrip->text();
    };
    EXPECT_TRUE(run("echo fine", "avrdude.exe").startsWith("avrdude finished in 0."));
    EXPECT_FALSE(Ui(*form).runStrip->endButton()->isVisible());
    const QString failed = run("i=0; while [ $i -lt 200 ]; do echo line $i; i=$((i+1)); done; exit 1", "avrdude.exe");
    EXPECT_TRUE(failed.startsWith("avrdude failed (exit code 1) after 0.")) << failed.toStdString();
    EXPECT_TRUE(failed.endsWith(" s: see the end of the output"));
    ASSERT_TRUE(Ui(*form).runStrip->endButton()->isVisible());
    QTest::mouseClick(Ui(*form).runStrip->endButton(), Qt::LeftButton);
    EXPECT_EQ(Ui(*form).outputPane->lineText(Ui(*form).outputPane->caretLine()), "") << "the caret at the end, after line 199";
    EXPECT_GT(Ui(*form).outputPane->verticalScrollBar()->value(), 0);
    EXPECT_EQ(run("echo x", "no-such-tool.exe -p m8"),
              "Could not start no-such-tool.exe: not found beside the program or on PATH");
    const QString killed = run("echo 225; kill -9 $$", "avrdude.exe");
    EXPECT_TRUE(killed.startsWith("avrdude was ended by signal 9 (Killed) after ")) << killed.toStdString();
    // avrdude 7.1 answers a line it does not accept with its usage text, and exits 0 (the gate asks
    // first, as it cannot be sure what such a line does).
    watch.answer = true;
    const QString usage = run(QStringLiteral("cat '%1'; exit 0").arg(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/usage.txt"),
                              "avrdude.exe -v-U lfuse:w:0xE1:m");
    EXPECT_TRUE(usage.startsWith("avrdude did not accept the command line")) << usage.toStdString();
    EXPECT_TRUE(Ui(*form).runStrip->endButton()->isVisible()) << "shown as a failure";
}

TEST(RunControl, ProgressFollowsAvrdudesBars)
{
    QFile file(QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/flash_write_verify.txt"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    runner::ProgressWatch watch;
    QList<int> seen;  // each new figure, in the order shown
    for (QChar c : text) {
        watch.see(QString(c));
        if (seen.isEmpty() || seen.back() != watch.percent())
            seen << watch.percent();
    }
    // Three bars (write, verify, verify), each from 0 to 100 in steps of 2, nothing between them.
    QList<int> bar;
    for (int p = 0; p <= 100; p += 2)
        bar << p;
    EXPECT_EQ(seen, QList<int>{-1} + bar + QList<int>{-1} + bar + QList<int>{-1} + bar + QList<int>{-1});
    // On a terminal the bar is redrawn with its figure.
    runner::ProgressWatch tty;
    tty.see("avrdude: reading flash memory:\n\nReading | #####");
    EXPECT_EQ(tty.percent(), 10);
    tty.see("#########                 | 45% 0.12s\n");
    EXPECT_EQ(tty.percent(), 45);
}

// A tool that ignores SIGTERM: SIGKILL follows, and the window is idle within a second, whichever
// way the user stopped it.
TEST(RunControl, AToolThatIgnoresSigtermIsGoneWithinASecond)
{
    auto form = MakeForm();
    form->show();
    for (int way = 0; way < 3; ++way) {
        StandIn tool = Noting("trap '' TERM; echo started; sleep 30");
        QFile::remove(OwnDir() + "/tool.pid");
        Watch watch;
        watch.answer = true;  // "Stop and close"
        Ui(*form).commandLine->setText("avrdude.exe");
        QTest::mouseClick(Ui(*form).executeButton, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([] { return QFile::exists(OwnDir() + "/tool.pid"); }, 5000));
        QElapsedTimer clock;
        clock.start();
        if (way == 0)
            QTest::mouseClick(Ui(*form).runStrip->stopButton(), Qt::LeftButton);
        else if (way == 1)
            QTest::keyClick(Ui(*form).extraOptions, Qt::Key_Escape);
        else
            form->close();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form->running(); }, 1000)) << "way " << way;
        EXPECT_LT(clock.elapsed(), 1000) << "way " << way;
        EXPECT_FALSE(Alive("tool.pid")) << "way " << way;
        if (way == 2)
            EXPECT_TRUE(QTest::qWaitFor([&] { return !form->isVisible(); }, 1000)) << "closed once the tool was gone";
    }
}
