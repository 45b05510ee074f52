#include "tests/printing.h"
#include "runner/command_split.h"
#include "runner/output_text.h"
#include "runner/avrdude_run.h"
#include "runner/tool_run.h"

#include <QSignalSpy>
#include "tests/helpers.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using runner::SplitCommandLine;

TEST(SplitCommandLine, BlanksQuotesAndBackslashes)
{
    struct Row {
        const char *line;
        QStringList args;
    } rows[] = {
        {"", {}},
        {"   \t ", {}},
        {"avrdude.exe -p m8 -c usbasp ", {"avrdude.exe", "-p", "m8", "-c", "usbasp"}},
        {R"(-U flash:w:"C:\My Files\blink.hex":i)", {"-U", R"(flash:w:C:\My Files\blink.hex:i)"}},
        {R"(a\b c\\d)", {R"(a\b)", R"(c\\d)"}},
        {R"(a\"b)", {R"(a"b)"}},
        {R"(a\\"b c")", {R"(a\b c)"}},
        {R"(a\\\"b)", {R"(a\"b)"}},
        {R"("" x)", {"", "x"}},
        {R"(-p  -c usbasp)", {"-p", "-c", "usbasp"}},
        {R"("unclosed quote)", {"unclosed quote"}},
        {"a\tb", {"a", "b"}},
        {R"(-U flash:w:"":a)", {"-U", "flash:w::a"}},
    };
    for (const Row &r : rows)
        EXPECT_EQ(SplitCommandLine(QString::fromLatin1(r.line)), r.args) << r.line;
}

TEST(FindProgram, OwnDirectoryFirstThenPathThenWithoutExe)
{
    QTemporaryDir own, path1, path2;
    const auto make = [](const QString &dir, const QString &name) {
        QFile f(QDir(dir).filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write("#!/bin/sh\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    };
    make(path1.path(), "avrdude");
    make(path2.path(), "tool");
    const QString search = path1.path() + ":" + path2.path();
    EXPECT_EQ(runner::FindProgram("avrdude.exe", own.path(), search), QDir(path1.path()).filePath("avrdude"));
    make(own.path(), "avrdude");
    EXPECT_EQ(runner::FindProgram("avrdude.exe", own.path(), search), QDir(own.path()).filePath("avrdude"));
    make(path2.path(), "avrdude.exe");
    EXPECT_EQ(runner::FindProgram("avrdude.exe", own.path(), search), QDir(path2.path()).filePath("avrdude.exe"));
    EXPECT_EQ(runner::FindProgram("tool", own.path(), search), QDir(path2.path()).filePath("tool"));
    EXPECT_EQ(runner::FindProgram("missing.exe", own.path(), search), "");
    EXPECT_EQ(runner::FindProgram("/some/where/avrdude", own.path(), search), "/some/where/avrdude");
    EXPECT_EQ(runner::FindProgram("", own.path(), search), "");
    // A file that cannot be run is not a program.
    QFile plain(QDir(own.path()).filePath("plain"));
    plain.open(QIODevice::WriteOnly);
    plain.close();
    EXPECT_EQ(runner::FindProgram("plain", own.path(), search), "");
}

TEST(OutputText, LineBreaksZeroBytesAndSplitCharacters)
{
    runner::OutputText t;
    QString out = t.Add("a\r");
    out += t.Add("\nb\rc");
    out += t.Add(QByteArrayView("d\0e\n", 4));
    const QByteArray euro = "\xe2\x82\xac";
    out += t.Add(euro.left(1));
    out += t.Add(euro.mid(1));
    out += t.Add("\r");
    out += t.Finish();
    EXPECT_EQ(out, QString::fromUtf8("a\nb\ncde\n\xe2\x82\xac\n"));
}

namespace {
struct Collected {
    QString text;
    int pieces = 0;
    int ticks = 0;
    runner::ToolEnd end;
};

// One run to its end, waiting on its signal.
Collected RunLine(const QString &line)
{
    Collected c;
    runner::AvrdudeRun run;
    QObject::connect(&run, &runner::AvrdudeRun::output, [&](const QString &text) {
        c.text += text;
        ++c.pieces;
    });
    QObject::connect(&run, &runner::AvrdudeRun::tick, [&] { ++c.ticks; });
    QSignalSpy finished(&run, &runner::AvrdudeRun::finished);
    run.start(runner::SplitCommandLine(line), OwnDir(), runner::SearchPath());
    EXPECT_TRUE(finished.wait(20000));
    c.end = run.end();
    return c;
}
}  // namespace

TEST(AvrdudeRun, MergesBothStreamsInTheOrderWritten)
{
    StandIn tool("echo out1; sleep 0.05; echo err1 >&2; sleep 0.05; echo out2; echo err2 >&2");
    const Collected c = RunLine("avrdude.exe -p m8");
    EXPECT_NE(c.end.kind, runner::ToolEnd::Kind::NotStarted);
    EXPECT_EQ(c.text, "out1\nerr1\nout2\nerr2\n");
}

TEST(AvrdudeRun, PassesArgumentsAsSplitAndEndsAtEndOfInput)
{
    StandIn tool(R"(for a in "$@"; do echo "[$a]"; done; cat; echo "input ended")");
    const Collected c = RunLine(R"(avrdude.exe -U flash:w:"/tmp/My Files/blink.hex":i -t)");
    EXPECT_EQ(c.text, "[-U]\n[flash:w:/tmp/My Files/blink.hex:i]\n[-t]\ninput ended\n");
}

TEST(AvrdudeRun, LongOutputArrivesWhole)
{
    StandIn tool("head -c 250000 /dev/zero | tr '\\0' x; printf 'tail'");
    const Collected c = RunLine("avrdude.exe");
    EXPECT_EQ(c.text.size(), 250004);
    EXPECT_TRUE(c.text.endsWith("xtail"));
}

TEST(AvrdudeRun, OutputWrittenJustBeforeTheEndIsKept)
{
    StandIn tool("sleep 0.2; printf 'last words'; exit 3");
    const Collected c = RunLine("avrdude.exe");
    EXPECT_EQ(c.text, "last words");
    EXPECT_EQ(c.end.kind, runner::ToolEnd::Kind::Exited);
    EXPECT_EQ(c.end.code, 3);
}

TEST(AvrdudeRun, AFailedStartSaysWhichProgramWasLookedFor)
{
    const Collected missing = RunLine("no-such-tool-here.exe -p m8");
    EXPECT_EQ(missing.end.kind, runner::ToolEnd::Kind::NotStarted);
    EXPECT_EQ(missing.pieces, 0);
    EXPECT_TRUE(missing.end.failure.contains("\"no-such-tool-here.exe\"")) << missing.end.failure.toStdString();
    const Collected empty = RunLine("   ");
    EXPECT_EQ(empty.end.kind, runner::ToolEnd::Kind::NotStarted);
    EXPECT_FALSE(empty.end.failure.isEmpty());
}

TEST(AvrdudeRun, TicksWhileTheToolIsSilent)
{
    StandIn tool("sleep 0.5; echo done");
    EXPECT_GE(RunLine("avrdude.exe").ticks, 5);
}
