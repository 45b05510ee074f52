// The chip session without any window: what its operations run, what they report, and that two
// sessions share nothing.
#include "tests/printing.h"
#include "compose/command_line.h"
#include "runner/line_splitter.h"
#include "production/disk_writer.h"
#include "session/chip_session.h"
#include "tests/helpers.h"

#include <QFile>
#include <QSignalSpy>
#include <QThread>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QString Transcript(const char *name) { return QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/") + QLatin1String(name); }

compose::InstalledAvrdude Recorded()
{
    QFile parts(Transcript("parts_St.txt"));
    EXPECT_TRUE(parts.open(QIODevice::ReadOnly));
    return {compose::ParseParts(parts.readAll()), {}};
}

// A stand-in that logs its arguments and prints a recorded avrdude output.
StandIn Printing(const char *transcript)
{
    QFile::remove(OwnDir() + "/runs.log");
    return StandIn(QStringLiteral(R"(echo "$*" >> "%1/runs.log"; cat "%2")").arg(OwnDir(), Transcript(transcript)));
}

QStringList Runs()
{
    QFile log(OwnDir() + "/runs.log");
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList{};
}

bool WaitUntilIdle(const session::ChipSession &s)
{
    return QTest::qWaitFor([&] { return !s.running(); }, 20000);
}

compose::FormState Form(const char *device)
{
    compose::FormState form;
    form.device = QString::fromLatin1(device);
    form.programmer = QStringLiteral("stk500v1");
    return form;
}

}  // namespace

// Read All: one run, one value per byte the part has, all or none; each value reported once and
// kept with the part it was read from.
TEST(ChipSession, ReadAllReportsEveryByteOnceOrNone)
{
    session::ChipSession chip{compose::Vocabulary(Recorded())};
    chip.setForm(Form("ATmega8"));
    std::vector<std::pair<fuses::FuseByte, unsigned>> read;
    QObject::connect(&chip, &session::ChipSession::byteRead,
                     [&](fuses::FuseByte byte, unsigned value) { read.emplace_back(byte, value); });
    QStringList told;  // a box's text, or the strip's failure in its place
    QObject::connect(&chip, &session::ChipSession::told, [&](session::Notice, const QString &text) { told << text; });
    QObject::connect(&chip, &session::ChipSession::outcomeChanged, [&](const QString &text, bool failed) {
        if (failed)
            told << text;
    });
    QSignalSpy states(&chip, &session::ChipSession::runStateChanged);
    QSignalSpy shown(&chip, &session::ChipSession::lineShown);

    StandIn tool = Printing("read_all_fuses.txt");
    ASSERT_TRUE(chip.readAllFuses());
    EXPECT_TRUE(chip.running());
    ASSERT_TRUE(WaitUntilIdle(chip));
    EXPECT_EQ(Runs(), QStringList{"-p m8 -c stk500v1 -U lfuse:r:-:h -U hfuse:r:-:h -U lock:r:-:h -D -q"});
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(read, (std::vector<std::pair<fuses::FuseByte, unsigned>>{{Low, 0xE1}, {High, 0xD9}, {Lock, 0xFF}}));
    EXPECT_EQ(states.size(), 2) << "started, then ended";
    EXPECT_TRUE(told.isEmpty()) << told.join('\n').toStdString();
    EXPECT_EQ(chip.lastReads().value("hfuse").value, 0xD9u);
    EXPECT_EQ(chip.lastReads().value("hfuse").part, "ATmega8");

    // The output stops before the lock's value: nothing is taken, and the user is told why.
    read.clear();
    StandIn cut(QStringLiteral("head -n 10 \"%1\"").arg(Transcript("read_all_fuses.txt")));
    ASSERT_TRUE(chip.readAllFuses());
    ASSERT_TRUE(WaitUntilIdle(chip));
    EXPECT_TRUE(read.empty());
    ASSERT_EQ(told.size(), 1);
    EXPECT_EQ(told[0], "No value found for the lock byte in the output of the fuse read: no byte was changed.");
}

// A part with fuses of its own: Read All reads each of its fuse memories once (avrdude names them
// with their alias, "fuse5/syscfg0"), and a write is judged against the value read.
TEST(ChipSession, ReadAllReadsAPartsOwnFusesAndTheGateKnowsThem)
{
    session::ChipSession chip{compose::Vocabulary(Recorded())};
    chip.setForm(Form("ATtiny1614"));
    QStringList read;
    QObject::connect(&chip, &session::ChipSession::fuseRead,
                     [&](const QString &memory, quint32 value) { read << QStringLiteral("%1=%2").arg(memory).arg(value, 0, 16); });
    QObject::connect(&chip, &session::ChipSession::byteRead, [&] { read << "a byte editor's byte"; });
    StandIn tool = Printing("read_all_fuses_t1614.txt");
    ASSERT_TRUE(chip.readAllFuses());
    ASSERT_TRUE(WaitUntilIdle(chip));
    EXPECT_EQ(Runs(), QStringList{"-p t1614 -c stk500v1 -U fuse0:r:-:h -U fuse1:r:-:h -U fuse2:r:-:h -U fuse4:r:-:h "
                                  "-U fuse5:r:-:h -U fuse6:r:-:h -U fuse7:r:-:h -U fuse8:r:-:h -U lock:r:-:h -D -q"});
    EXPECT_EQ(read, QStringList({"fuse0=2", "fuse1=2", "fuse2=2", "fuse4=2", "fuse5=c4", "fuse6=2", "fuse7=2", "fuse8=2",
                                 "lock=c5"}));

    QStringList asked;
    QObject::connect(&chip, &session::ChipSession::question, [&](const QString &text, bool *) { asked << text; });
    EXPECT_FALSE(chip.writeFuse("fuse5", "C0"));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains("RSTPINCFG") && asked[0].contains("Value as last read: C4")) << asked[0].toStdString();

    // Detect with no part chosen names one a UPDI programmer can reach (avrdude wants a part).
    compose::InstalledAvrdude installed = Recorded();
    installed.programmers = {{"serialupdi", "SerialUPDI", false, {"PM_UPDI"}}};
    session::ChipSession detecting{compose::Vocabulary(installed)};
    compose::FormState form = Form("");
    form.programmer = "serialupdi";
    detecting.setForm(form);
    StandIn signature = Printing("signature_read.txt");
    ASSERT_TRUE(detecting.detect());
    ASSERT_TRUE(WaitUntilIdle(detecting));
    EXPECT_EQ(Runs(), QStringList{"-p t416 -c serialupdi -U signature:r:-:h -D -q"});
}

// The installed avrdude's words belong to the session they were handed to; a question nobody
// answers is a Cancel, so a session without a window never runs a line the guard doubts.
TEST(ChipSession, SessionsShareNothingAndAnUnansweredQuestionRunsNothing)
{
    session::ChipSession withData{compose::Vocabulary(Recorded())};
    session::ChipSession without{compose::Vocabulary()};
    withData.setForm(Form("ATtiny1614"));
    without.setForm(Form("ATtiny1614"));
    EXPECT_EQ(withData.commandLine(), "avrdude.exe -p t1614 -c stk500v1 ");
    EXPECT_EQ(without.commandLine(), "avrdude.exe -p  -c stk500v1 ");
    EXPECT_NE(withData.part(), nullptr);
    EXPECT_EQ(without.part(), nullptr);

    StandIn tool = Printing("fuse_read.txt");
    withData.setForm(Form("ATmega8"));
    EXPECT_FALSE(withData.writeByte(High, "5A")) << "RSTDISBL programmed: a question, and nobody to say yes";
    EXPECT_FALSE(withData.running());
    EXPECT_TRUE(Runs().isEmpty());
    QStringList asked;
    QObject::connect(&withData, &session::ChipSession::question, [&](const QString &text, bool *yes) {
        asked << text;
        *yes = true;
    });
    EXPECT_TRUE(withData.writeByte(High, "5A"));
    ASSERT_TRUE(WaitUntilIdle(withData));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains("RSTDISBL")) << asked[0].toStdString();
    EXPECT_EQ(Runs(), QStringList{"-p m8 -c stk500v1 -U hfuse:w:0x5A:m"});
}

// A line the output's splitter had to cut is no value line, however its kept start reads; a line
// exactly as long as what is kept is whole.
TEST(ChipSession, AReadTakesNoValueFromACutLine)
{
    session::ChipSession chip{compose::Vocabulary()};
    chip.setForm(Form("ATmega8"));
    chip.setReadLine(7);  // no such line: only a line holding nothing but the value counts
    std::vector<unsigned> read;
    QObject::connect(&chip, &session::ChipSession::byteRead, [&](fuses::FuseByte, unsigned value) { read.push_back(value); });
    QStringList told;  // a box's text, or the strip's failure in its place
    QObject::connect(&chip, &session::ChipSession::told, [&](session::Notice, const QString &text) { told << text; });
    QObject::connect(&chip, &session::ChipSession::outcomeChanged, [&](const QString &text, bool failed) {
        if (failed)
            told << text;
    });
    const auto print = [](int blanks, const char *rest) {
        return StandIn(QStringLiteral("printf 'avrdude: reading lfuse memory ...\\n225%*s%1\\n' %2 ''")
                           .arg(QLatin1String(rest))
                           .arg(blanks));
    };
    {
        StandIn tool = print(int(runner::LineSplitter::kKeptLength) - 3, "");
        ASSERT_TRUE(chip.readByte(Low));
        ASSERT_TRUE(WaitUntilIdle(chip));
        EXPECT_EQ(read, std::vector<unsigned>{225}) << told.join('\n').toStdString();
    }
    {
        StandIn tool = print(int(runner::LineSplitter::kKeptLength), "more words");
        ASSERT_TRUE(chip.readByte(Low));
        ASSERT_TRUE(WaitUntilIdle(chip));
        EXPECT_EQ(read.size(), 1u) << "the line goes on past what was kept";
        EXPECT_EQ(told, QStringList{"No value found in the output of the low fuse read."});
    }
}

// A burn: every step is judged before the first runs (a question about the last step, cancelled,
// runs nothing at all), and a stop during a step runs none after it.
TEST(ChipSession, ABurnIsJudgedWholeAndAStopEndsIt)
{
    session::ChipSession chip{compose::Vocabulary(Recorded())};
    chip.setForm(Form("ATmega8"));
    QStringList asked;
    QObject::connect(&chip, &session::ChipSession::question, [&](const QString &text, bool *) { asked << text; });
    QFile::remove(OwnDir() + "/runs.log");
    StandIn tool(QStringLiteral(R"(echo "$*" >> "%1/runs.log"; exec sleep 10)").arg(OwnDir()));
    const QString fuses = "avrdude.exe -p m8 -c stk500v1 -e -U hfuse:w:0xCA:m";
    EXPECT_FALSE(chip.burnBootloader({fuses, "avrdude.exe -p m8 -c stk500v1 -U hfuse:w:0x4A:m"}, {"fuses", "reset off"}, {}));
    EXPECT_EQ(asked.size(), 1) << "the reset pin turned off, in the second step";
    EXPECT_TRUE(Runs().isEmpty());

    QStringList ended;
    QObject::connect(&chip, &session::ChipSession::runEnded, [&](const session::Outcome &o) { ended << o.text; });
    ASSERT_TRUE(chip.burnBootloader({fuses, "avrdude.exe -p m8 -c stk500v1 -U lock:w:0x3F:m"}, {"fuses", "lock"}, {}));
    ASSERT_TRUE(QTest::qWaitFor([] { return !Runs().isEmpty(); }, 10000));
    chip.stop();
    ASSERT_TRUE(WaitUntilIdle(chip));
    EXPECT_EQ(Runs(), QStringList{"-p m8 -c stk500v1 -e -U hfuse:w:0xCA:m"});
    ASSERT_EQ(ended.size(), 1);
    EXPECT_TRUE(ended[0].startsWith("Step 1 of 2 (fuses): Stopped after")) << ended[0].toStdString();

    // A step that fails runs none after it either.
    QFile::remove(OwnDir() + "/runs.log");
    StandIn failing(QStringLiteral(R"(echo "$*" >> "%1/runs.log"; exit 1)").arg(OwnDir()));
    ASSERT_TRUE(chip.burnBootloader({fuses, "avrdude.exe -p m8 -c stk500v1 -U lock:w:0x3F:m"}, {"fuses", "lock"}, {}));
    ASSERT_TRUE(WaitUntilIdle(chip));
    EXPECT_EQ(Runs(), QStringList{"-p m8 -c stk500v1 -e -U hfuse:w:0xCA:m"});
    ASSERT_EQ(ended.size(), 2);
    EXPECT_TRUE(ended[1].endsWith("; nothing after it ran")) << ended[1].toStdString();
}

// Only the avrdude whose part data judged the line runs unasked: a wrapper or a shell would run
// whatever it makes of the rest, and another avrdude reads the line by its own data. A session busy
// with a run starts no second one.
TEST(ChipSession, OnlyTheAvrdudeOfThePartDataRunsUnasked)
{
    StandIn tool = Printing("fuse_read.txt");
    session::ChipSession chip{compose::Vocabulary(Recorded())};
    chip.setForm(Form("ATmega8"));
    QStringList asked;
    QObject::connect(&chip, &session::ChipSession::question, [&](const QString &text, bool *) { asked << text; });
    EXPECT_FALSE(chip.execute("nice -n 0 avrdude.exe -p m8 -c usbasp -U hfuse:w:0x5F:m"));
    ASSERT_FALSE(asked.isEmpty());
    EXPECT_TRUE(asked[0].startsWith("Fusewerk cannot judge what `nice` will run")) << asked[0].toStdString();
    asked.clear();
    EXPECT_FALSE(chip.execute(R"(sh -c "avrdude.exe -p m8 -c usbasp -U hfuse:w:0x5F:m")"));
    ASSERT_EQ(asked.size(), 1) << "sh's -c is no programmer: the line writes nothing avrdude could see";
    EXPECT_TRUE(asked[0].startsWith("Fusewerk cannot judge what `sh` will run")) << asked[0].toStdString();
    EXPECT_TRUE(Runs().isEmpty());

    // The part data came from another avrdude than the one the line finds.
    compose::InstalledAvrdude elsewhere = Recorded();
    elsewhere.program = QStringLiteral("/usr/bin/avrdude");
    session::ChipSession other{compose::Vocabulary(elsewhere)};
    asked.clear();
    QObject::connect(&other, &session::ChipSession::question, [&](const QString &text, bool *) { asked << text; });
    EXPECT_FALSE(other.execute("avrdude.exe -p m8 -c usbasp -U lfuse:r:-:h"));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains("not the avrdude Fusewerk knows the parts of (/usr/bin/avrdude)")) << asked[0].toStdString();
    EXPECT_TRUE(Runs().isEmpty());

    // Busy: a second operation neither starts nor disturbs the first.
    StandIn slow(QStringLiteral(R"(echo "$*" >> "%1/runs.log"; exec sleep 20)").arg(OwnDir()));
    ASSERT_TRUE(chip.execute("avrdude.exe -p m8 -c usbasp -U lfuse:r:-:h"));
    ASSERT_TRUE(QTest::qWaitFor([] { return Runs().size() == 1; }, 10000));
    EXPECT_FALSE(chip.readByte(Low));
    EXPECT_FALSE(chip.execute("avrdude.exe -p m8 -c usbasp"));
    EXPECT_TRUE(chip.running());
    chip.stop();
    ASSERT_TRUE(WaitUntilIdle(chip));
    EXPECT_EQ(Runs().size(), 1);
}

// A chip that answers nothing but zeros or ones (no power, no clock, a broken wire): Detect says so,
// whatever avrdude guesses of the signature's family.
TEST(ChipSession, DetectTellsAChipThatDoesNotAnswer)
{
    session::ChipSession chip{compose::Vocabulary(Recorded())};
    chip.setForm(Form("ATmega8"));
    for (const char *transcript : {"signature_000000.txt", "signature_ffffff.txt"}) {
        StandIn tool = Printing(transcript);
        QString outcome, shown;
        QObject scope;
        QObject::connect(&chip, &session::ChipSession::outcomeChanged, &scope, [&](const QString &text, bool) { outcome = text; });
        QObject::connect(&chip, &session::ChipSession::bytesRead, &scope, [&](const QString &, const QString &text) { shown = text; });
        QObject::connect(&chip, &session::ChipSession::detected, &scope, [&](const QString &part, const QString &) {
            ADD_FAILURE() << "detected " << part.toStdString();
        });
        ASSERT_TRUE(chip.detect());
        ASSERT_TRUE(WaitUntilIdle(chip));
        EXPECT_TRUE(outcome.startsWith("No answer from the chip (signature " + QString(transcript).mid(10, 6).toUpper() + ")"))
            << transcript << ": " << outcome.toStdString();
        EXPECT_EQ(shown, QString(transcript).mid(10, 6).toUpper());
    }
}

// The settings file written off the window's thread: in the order handed over (an older state never
// lands last), each `whenKept` told whether the last keep before it reached the disk, and `flush`
// waiting for all of it.
TEST(DiskWriter, WritesInOrderAndTellsWhetherTheLastKeepLanded)
{
    production::DiskWriter disk;
    std::vector<int> order;  // touched by the writer's thread alone until flush returns
    QStringList told, appendFailures;
    disk.keep([&](QString *) {
        QThread::msleep(30);
        order.push_back(1);
        return true;
    });
    disk.keep([&](QString *error) {
        order.push_back(2);
        *error = QStringLiteral("disk full");
        return false;
    });
    disk.whenKept([&](const QString &error) { told << error; });
    disk.append([&](QString *error) {
        order.push_back(3);
        *error = QStringLiteral("log gone");
        return false;
    }, [&](const QString &error) { appendFailures << error; });
    disk.whenKept([&](const QString &error) { told << error; });  // the append is no keep
    disk.keep([&](QString *) {
        order.push_back(4);
        return true;
    });
    disk.whenKept([&](const QString &error) { told << error; });
    disk.keep([&](QString *) {  // still being written when flush is called
        QThread::msleep(30);
        order.push_back(5);
        return true;
    });
    EXPECT_TRUE(disk.flush());
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return told.size() == 3; }, 5000));
    EXPECT_EQ(told, (QStringList{"disk full", "disk full", ""}));
    EXPECT_EQ(appendFailures, QStringList{"log gone"});
}
