// "Execute" and the single-byte runs against stand-in tools.
#include "tests/printing.h"
#include "window/main_window.h"
#include "window/tone.h"
#include "tests/helpers.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QTest>
#include <QTextBlock>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace {
void Execute(MainWindow &form, const QString &line)
{
    Ui(form).commandLine->setText(line);
    ClickAndWait(Ui(form).executeButton);
}

// Starts Execute and returns once the pane shows `shown`: the run is under way, its output arriving.
void ExecuteUntilShown(MainWindow &form, const QString &line, const QString &shown)
{
    Ui(form).commandLine->setText(line);
    QTest::mouseClick(Ui(form).executeButton, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Ui(form).outputPane->outputText().contains(shown); }, 5000)) << shown.toStdString();
}
}  // namespace

TEST(Execute, ShowsBothStreamsInOrderWithLongOutputAndAZeroByte)
{
    StandIn tool(R"(echo "args: $*"; echo err1 >&2; sleep 0.1; echo out2; )"
                 R"(i=0; while [ $i -lt 400 ]; do echo "line $i of the long output, padded to be long enough"; )"
                 R"(i=$((i+1)); done; printf 'a\000b\n'; echo err2 >&2)");
    auto form = MakeForm();
    Watch watch;
    Execute(*form, "avrdude.exe -p m8 -U flash:r:\"a b.hex\":i");
    const QString text = Ui(*form).outputPane->outputText();
    EXPECT_TRUE(text.startsWith("args: -p m8 -U flash:r:a b.hex:i\nerr1\nout2\nline 0 of"));
    EXPECT_TRUE(text.endsWith("line 399 of the long output, padded to be long enough\nab\nerr2\n"));
    EXPECT_GT(text.size(), 9999);
    EXPECT_EQ(Ui(*form).outputPane->lineCount(), 406) << "405 lines and the empty one after the last break";
    EXPECT_TRUE(watch.messages.empty());
    EXPECT_TRUE(watch.tones.empty());
    EXPECT_TRUE(form->isEnabled());
}

TEST(Execute, EnlargesThePaneDuringTheRunAndPutsItBackAfterAResize)
{
    auto form = MakeForm();
    form->show();
    form->resize(626, 783 + widgets::RunStrip::kHeight);
    const QRect before = Ui(*form).outputPane->geometry();
    ASSERT_EQ(before, QRect(3, 525, 622, 255));
    // The stand-in waits for the pane to be looked at while it runs.
    StandIn tool("echo started; sleep 0.4; echo finished");
    ExecuteUntilShown(*form, "avrdude.exe", "started");
    EXPECT_EQ(Ui(*form).outputPane->geometry(), QRect(3, 3, 622, 678));
    EXPECT_FALSE(Ui(*form).executeButton->isEnabled() || Ui(*form).commandLine->isEnabled());
    WaitForRun(*form);
    EXPECT_EQ(Ui(*form).outputPane->geometry(), before);
    EXPECT_EQ(Ui(*form).outputPane->outputText(), "started\nfinished\n");
}

TEST(Execute, OutputShowsWhileItArrivesWithoutScrollingAlong)
{
    StandIn tool("i=0; while [ $i -lt 100 ]; do echo line $i; i=$((i+1)); done; sleep 0.5; echo end");
    auto form = MakeForm();
    form->show();
    ExecuteUntilShown(*form, "avrdude.exe", "line 99\n");
    const QString seen = Ui(*form).outputPane->outputText();
    EXPECT_TRUE(seen.startsWith("line 0\n") && !seen.contains("end")) << seen.toStdString();
    EXPECT_EQ(Ui(*form).outputPane->verticalScrollBar()->value(), 0);
    WaitForRun(*form);
}

TEST(Execute, CaretGoesToLine15WhenThereIsOne)
{
    auto form = MakeForm();
    {
        StandIn tool("seq 0 30");
        Execute(*form, "avrdude.exe");
        EXPECT_EQ(Ui(*form).outputPane->caretLine(), 15);
        EXPECT_EQ(Ui(*form).outputPane->caretColumn(), 0);
    }
    {
        StandIn tool("seq 0 10");
        Ui(*form).outputPane->setCaretToLine(0);
        Execute(*form, "avrdude.exe");
        EXPECT_LT(Ui(*form).outputPane->caretLine(), 15);
    }
}

TEST(Execute, WarnsOnAVerificationErrorOrMismatchOnly)
{
    const std::pair<const char *, bool> rows[] = {
        {"avrdude: verification error, first mismatch at byte 0x0000", true},
        {"avrdude: verification mismatch", true},
        {"avrdude: Verification Error", false},
        {"avrdude: VERIFICATION MISMATCH", false},
        {"avrdude: 1024 bytes of flash verified", false},
    };
    auto form = MakeForm();
    for (const auto &[output, warns] : rows) {
        StandIn tool(QStringLiteral("echo '%1' >&2").arg(output));
        Watch watch;
        Execute(*form, "avrdude.exe");
        ASSERT_EQ(watch.tones.size(), warns ? 1u : 0u) << output;
        ASSERT_EQ(watch.messages.size(), warns ? 1u : 0u) << output;
        if (warns) {
            EXPECT_EQ(watch.tones[0], std::make_pair(1000, 200));
            EXPECT_EQ(watch.messages[0].text, "Verification Error");
            EXPECT_EQ(watch.messages[0].title, "ATmega8");
            EXPECT_TRUE(form->isEnabled());
        }
    }
}

TEST(Execute, ASingleByteRunNeverWarns)
{
    StandIn tool("echo 'verification error'; echo 'verification mismatch'");
    auto form = MakeForm();
    Watch watch;
    ClickAndWait(Ui(*form).calibrationWrite);
    EXPECT_EQ(Ui(*form).outputPane->outputText(), "verification error\nverification mismatch\n");
    EXPECT_TRUE(watch.tones.empty());
    EXPECT_TRUE(watch.messages.empty());
}

TEST(Execute, AFailedStartTellsWhichProgramWasNotFound)
{
    auto form = MakeForm();
    Watch watch;
    Execute(*form, "no-such-avrdude.exe -p m8");
    EXPECT_TRUE(form->isEnabled());
    EXPECT_TRUE(Ui(*form).outputPane->outputText().contains("\"no-such-avrdude.exe\" was not found"));
    EXPECT_EQ(Ui(*form).outputPane->geometry(), QRect(3, 525, 622, 155));
    EXPECT_TRUE(watch.messages.empty());
    Execute(*form, "");
    EXPECT_TRUE(Ui(*form).outputPane->outputText().contains("empty"));
}

TEST(Execute, TerminalModeEndsByItself)
{
    StandIn tool(R"(echo "avrdude> "; while read line; do echo "got $line"; done; echo "end of input")");
    auto form = MakeForm();
    QElapsedTimer timer;
    timer.start();
    Execute(*form, "avrdude.exe -t");
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_EQ(Ui(*form).outputPane->outputText(), "avrdude> \nend of input\n");
}

TEST(Execute, TheWindowRefusesToCloseDuringARun)
{
    StandIn tool("echo started; sleep 0.5; echo done");
    auto form = MakeForm();
    form->show();
    Watch watch;  // asked whether to stop and close, the user cancels
    ExecuteUntilShown(*form, "avrdude.exe", "started");
    QCloseEvent close;
    QCoreApplication::sendEvent(form.get(), &close);
    EXPECT_FALSE(close.isAccepted());
    EXPECT_TRUE(form->isVisible());
    WaitForRun(*form);
    EXPECT_EQ(Ui(*form).outputPane->outputText(), "started\ndone\n");
    EXPECT_EQ(watch.questions, std::vector<QString>{"avrdude is still running. Stop it and close?"});
}

TEST(Execute, RealAvrdudeReportsItsOwnError)
{
    // Debian's avrdude, found along the PATH under the name the line gives it.
    auto form = MakeForm();
    Execute(*form, "avrdude.exe -p m8 -c usbasp -U lfuse:r:-:d");
    const QString text = Ui(*form).outputPane->outputText();
    EXPECT_TRUE(text.contains("avrdude")) << text.toStdString();
    EXPECT_TRUE(text.contains("usbasp") || text.contains("USB")) << text.toStdString();
}

TEST(Tone, IsAThousandHertzSineThatNeverBlocksForLong)
{
    const QByteArray samples = Tone::Samples(1000, 200, 44100);
    ASSERT_EQ(samples.size(), 8820 * 2);
    const auto *s = reinterpret_cast<const qint16 *>(samples.constData());
    int rises = 0;
    for (int i = 1; i < 8820; ++i)
        rises += s[i - 1] < 0 && s[i] >= 0;
    EXPECT_NEAR(rises, 200, 2) << "200 periods in 200 ms";
    QElapsedTimer timer;
    timer.start();
    Tone::Instance().Play(1000, 200);  // the sound system, or the bell where there is none
    EXPECT_LT(timer.elapsed(), 1000);
}

TEST(ErrorBox, AnErrorEscapingAHandlerIsShownAndTheProgramGoesOn)
{
    EXPECT_EQ(ErrorBoxText("Boom"), "Boom.");
    EXPECT_EQ(ErrorBoxText("Boom."), "Boom.");
    EXPECT_EQ(ErrorBoxText("Boom!"), "Boom!");
    EXPECT_EQ(ErrorBoxText("(boom)"), "(boom)");
    EXPECT_EQ(ErrorBoxText("Boom 7"), "Boom 7.");
    EXPECT_EQ(ErrorBoxText(""), "");

    auto form = MakeForm();
    Watch watch;
    QObject::connect(Ui(*form).noWriteBox, &QCheckBox::toggled, [] { throw std::runtime_error("Disk not ready"); });
    QTest::mouseClick(Ui(*form).noWriteBox, Qt::LeftButton);
    ASSERT_EQ(watch.messages.size(), 1u);
    EXPECT_EQ(watch.messages[0].text, "Disk not ready.");
    EXPECT_EQ(watch.messages[0].kind, MessageKind::Error);
    EXPECT_EQ(watch.messages[0].title, "ATmega8");
    QTest::mouseClick(Ui(*form).chipEraseBox, Qt::LeftButton);
    EXPECT_TRUE(Ui(*form).commandLine->text().contains("-e "));
}
