// "Execute" and the single-byte runs against stand-in tools.
#include "tests/printing.h"
#include "window/main_window.h"
#include "window/tone.h"
#include "tests/helpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QLayout>
#include <QSplitter>
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
    form->resize(1000, 800);
    form->layout()->activate();
    const QRect before = Ui(*form).outputPane->geometry();
    // The stand-in waits for the pane to be looked at while it runs.
    StandIn tool("echo started; sleep 0.4; echo finished");
    ExecuteUntilShown(*form, "avrdude.exe", "started");
    EXPECT_LE(Ui(*form).outputPane->geometry().top(), Ui(*form).leftSplitter->handleWidth()) << "the output takes the form's room";
    EXPECT_EQ(Ui(*form).outputPane->geometry().bottom(), before.bottom());
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
    EXPECT_GT(Ui(*form).outputPane->geometry().top(), 0) << "nothing ran: the form keeps its room";
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

// The store behind the pane: rows, lines and matches are the same wherever the text lies, in the
// temporary file or in memory, in the first block of rows or a later one, whole or cut into rows.
TEST(OutputStore, RowsLinesAndMatchesAcrossTheFileMemoryAndBlocks)
{
    QString text;
    for (int i = 0; i < 60000; ++i)
        text += QStringLiteral("line %1 %2\n").arg(i).arg(QString(i % 37, i % 5 ? u'x' : u'\u00e9'));
    text += QString(10000, u'\u20ac') + u'\n';  // one line of 30000 bytes: cut into rows at characters
    text += QString(4 * 1024 * 1024 - text.toUtf8().size() - 3, u'-') + QStringLiteral("NeEdLe at the end");
    widgets::OutputStore store;
    for (qsizetype at = 0, step = 1; at < text.size(); at += step, step = step * 7 % 100003 + 1)
        store.append(QStringView(text).mid(at, step));
    const QByteArray bytes = text.toUtf8();
    ASSERT_EQ(store.size(), bytes.size());
    EXPECT_EQ(store.lineCount(), 60002);

    // Rows put together again give the text; each line starts a row; rows of one line continue it.
    QString joined;
    for (qint64 row = 0; row < store.rowCount(); ++row) {
        if (row > 0 && !store.continues(row))
            joined += u'\n';
        joined += store.rowText(row);
        ASSERT_LE(store.rowEnd(row) - store.rowStart(row), widgets::OutputStore::kRowBytes + 3);
        ASSERT_EQ(store.rowAt(store.rowStart(row)), row);
    }
    EXPECT_EQ(joined, text);
    for (qint64 line : {0, 4095, 4096, 9000, 59999, 60000, 60001}) {
        EXPECT_EQ(store.lineOfRow(store.rowOfLine(line)), line);
        EXPECT_EQ(store.rowStart(store.rowOfLine(line)), line == 0 ? 0 : bytes.indexOf('\n', store.rowStart(store.rowOfLine(line - 1))) + 1);
    }

    // A match across the 4 MB pieces the search reads, either case, either way.
    const qint64 needle = bytes.size() - 17;
    EXPECT_EQ(store.find("needle", 0, false, false), needle);
    EXPECT_EQ(store.find("needle", 0, false, true), -1);
    EXPECT_EQ(store.find("NEEDLE", store.size(), true, false), needle);
    EXPECT_EQ(store.find("line 1 ", needle, true, true), bytes.lastIndexOf("line 1 "));
    EXPECT_EQ(store.count("line 59", 0, true).total, 1111);
    const auto count = store.count("\xe2\x82\xac\xe2\x82\xac", 1000, true);
    EXPECT_EQ(count.total, 5000) << "matches that do not overlap";
    EXPECT_EQ(count.before, 0);
}

// Without a temporary file the output cannot be kept whole: what is kept stays bounded, and its last
// line says why the rest is missing.
TEST(OutputStore, WithoutATemporaryFileKeepsLittleAndSaysSo)
{
    const QByteArray tmp = qgetenv("TMPDIR");
    QTemporaryFile notAFolder;
    ASSERT_TRUE(notAFolder.open());
    qputenv("TMPDIR", QFile::encodeName(notAFolder.fileName()));
    widgets::OutputStore store;
    const QString line = QStringLiteral("a line of output that goes on and on\n");
    for (int i = 0; i < 100000; ++i)
        store.append(line);
    if (tmp.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", tmp);
    EXPECT_TRUE(store.trouble().startsWith("The output from here on was not kept: no temporary file could be made in"));
    EXPECT_LT(store.size(), widgets::OutputStore::kMemoryBytes + 200);
    EXPECT_EQ(store.rowText(store.rowCount() - 2), store.trouble());
    EXPECT_EQ(store.rowText(store.rowCount() - 3), line.trimmed());
}

// The pane's own keys: Ctrl+F opens the find bar, finds as the text is typed, Enter and Shift+Enter
// step through the matches with a count, round the ends; Ctrl+C copies what is selected.
TEST(OutputPane, FindStepsThroughEveryMatchAndCopiesTheSelection)
{
    widgets::OutputPane pane(nullptr);
    pane.resize(622, 300);
    pane.show();
    pane.showText("alpha\nbeta Alpha\ngamma ALPHA alpha\n");
    pane.setFocus();
    QTest::keyClick(&pane, Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(pane.findField()->isVisible());
    QTest::keyClicks(pane.findField(), "alpha");
    // Found as it is typed (the search may wait for the typing to pause): a wait, then a check that fails.
    QTest::qWaitFor([&] { return !pane.findCountText().isEmpty(); }, 2000);
    ASSERT_EQ(pane.findCountText(), "1 of 4");
    const auto step = [&](Qt::KeyboardModifiers keys) {
        QTest::keyClick(pane.findField(), Qt::Key_Return, keys);
        return pane.findCountText() + " " + pane.selectedText() + " " + QString::number(pane.caretLine());
    };
    EXPECT_EQ(step(Qt::NoModifier), "2 of 4 Alpha 1");
    EXPECT_EQ(step(Qt::NoModifier), "3 of 4 ALPHA 2");
    EXPECT_EQ(step(Qt::NoModifier), "4 of 4 alpha 2");
    EXPECT_EQ(step(Qt::NoModifier), "1 of 4 alpha 0") << "round to the start";
    EXPECT_EQ(step(Qt::ShiftModifier), "4 of 4 alpha 2") << "and back to the end";
    pane.findChild<QCheckBox *>("FindMatchCase")->setChecked(true);
    EXPECT_EQ(pane.findCountText(), "2 of 2");
    QTest::keyClick(pane.findField(), Qt::Key_Escape);
    EXPECT_FALSE(pane.findField()->isVisible());
    EXPECT_TRUE(pane.hasFocus());
    QTest::keyClick(&pane, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "alpha");

    // From a caret inside a match, Find Previous finds that match, the one around the caret.
    pane.showText("one alpha two alpha three\n");
    pane.setFocus();
    QTest::keyClick(&pane, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < 16; ++i)
        QTest::keyClick(&pane, Qt::Key_Right);
    ASSERT_EQ(pane.caretColumn(), 16);
    ASSERT_TRUE(pane.findNext("alpha", true));
    EXPECT_EQ(pane.findCountText(), "2 of 2");
    EXPECT_EQ(pane.caretColumn(), 19) << "the selection ends where that match ends";
}

// Past the memory bound the start of the output lies in the temporary file and the rest in memory:
// a selection made with the keyboard across that seam copies exactly the lines it spans.
TEST(OutputPane, SelectionAcrossTheSpoolsSeamCopiesExactly)
{
    widgets::OutputPane pane(nullptr);
    pane.resize(622, 300);
    pane.show();
    QStringList lines;
    for (int i = 0; i < 30000; ++i)
        lines << QStringLiteral("line %1 of a long output, long enough to pass the memory bound").arg(i);
    for (const QString &line : lines)
        pane.appendOutput(line + u'\n');
    pane.flush();
    const qint64 seam = pane.store().rowAt(pane.store().size() - (pane.store().size() % widgets::OutputStore::kMemoryBytes));
    ASSERT_GT(seam, 100);
    pane.setFocus();
    pane.setCaretToLine(seam - 20);
    for (int i = 0; i < 40; ++i)
        QTest::keyClick(&pane, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(&pane, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), lines.mid(int(seam) - 20, 40).join(u'\n') + u'\n');
}

// 200 MB of output: the last line is found and shown, Ctrl+A selects it all, and Copy, past what
// the clipboard should take, asks and saves the whole output to a file, byte for byte.
TEST(OutputPane, TheLastLineOf200MegabytesIsFoundShownAndSavedWhole)
{
    if (QStorageInfo(QDir::tempPath()).bytesAvailable() < (qint64(1) << 30))
        GTEST_SKIP() << "under 1 GB free in the temporary folder: the output and its saved copy need 400 MB";
    auto form = MakeForm();
    Watch watch;
    watch.answer = true;
    widgets::OutputPane *pane = Ui(*form).outputPane;
    QString piece;
    while (piece.size() < 1024 * 1024)
        piece += QStringLiteral("avrdude: Send: . [1b] . [%1] . [00] . [03] avrdude: Recv: . [1b] . [0e]\n").arg(piece.size() % 256);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const QByteArray pieceBytes = piece.toUtf8();
    for (int i = 0; i < 200; ++i) {
        pane->appendOutput(piece);
        hash.addData(pieceBytes);
    }
    pane->appendOutput(u"the very last line\n");
    hash.addData("the very last line\n");
    pane->flush();
    form->show();
    ASSERT_EQ(pane->store().size(), 200 * pieceBytes.size() + 19);

    ASSERT_TRUE(pane->findNext("very last"));
    EXPECT_EQ(pane->findCountText(), "1 of 1");
    EXPECT_EQ(pane->lineText(pane->caretLine()), "the very last line");
    EXPECT_EQ(pane->caretLine(), pane->lineCount() - 2);
    EXPECT_GT(pane->verticalScrollBar()->maximum(), 1000000);
    EXPECT_EQ(pane->verticalScrollBar()->value(), pane->verticalScrollBar()->maximum()) << "the last line in sight";

    QTemporaryDir dir;
    const QString path = dir.filePath("whole.txt");
    pane->saveDialog = [&] { return path; };
    pane->setFocus();
    QTest::keyClick(pane, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(pane->selectionLength(), pane->store().size());
    QApplication::clipboard()->setText("before");
    QTest::keyClick(pane, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), "before");
    ASSERT_EQ(watch.questions.size(), 1u);
    EXPECT_TRUE(watch.questions[0].startsWith("The selection holds 200.0 MB, more than the clipboard should take (16 MB)"))
        << watch.questions[0].toStdString();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    QCryptographicHash savedHash(QCryptographicHash::Sha1);
    savedHash.addData(&saved);
    EXPECT_EQ(saved.size(), pane->store().size());
    EXPECT_EQ(savedHash.result(), hash.result());
}
