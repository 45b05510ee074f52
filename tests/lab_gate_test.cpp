// The gate judges the run, not the text: the real avrdude against the emulated programmer, where
// what avrdude does depends on more than the line's words (its environment, the files it reads and
// writes, the user's configuration, the chip that answers).
#include "installed/avrdude_config.h"
#include "installed/installed_avrdude.h"
#include "runner/tool_query.h"
#include "session/chip_session.h"
#include "tests/helpers.h"
#include "tests/lab/emulator.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace {

// An environment variable set for the scope, then put back as it was.
class Env {
public:
    Env(const char *name, const QString &value) : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value.toLocal8Bit());
    }
    ~Env()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char *name_;
    bool had_;
    QByteArray old_;
};

struct Ran {
    QStringList asked, told;
    bool started = false;
    QString output;
};

// Execute `line` (the emulator's port in place of PORT), each question answered `answer`.
Ran Execute(session::ChipSession &chip, const Emulator &emulator, QString line, bool answer,
            const std::function<void()> &whileAsked = {})
{
    Ran ran;
    QObject scope;
    QObject::connect(&chip, &session::ChipSession::question, &scope, [&](const QString &text, bool *yes) {
        ran.asked << text;
        if (whileAsked)
            whileAsked();
        *yes = answer;
    });
    QObject::connect(&chip, &session::ChipSession::told, &scope, [&](session::Notice, const QString &text) { ran.told << text; });
    QObject::connect(&chip, &session::ChipSession::output, &scope, [&](const QString &text) { ran.output += text; });
    ran.started = chip.execute(line.replace("PORT", emulator.Port()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !chip.running(); }, 30000));
    return ran;
}

void Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

const char kStart[] = "avrdude.exe -c stk500v1 -P PORT ";

}  // namespace

// What avrdude reads besides the line: its environment, and files (the line's own log and reads, a
// file a build rewrites while a question is open). The ATmega8 keeps D9 in its high fuse throughout.
TEST(LabGate, TheEnvironmentAndTheFilesAreThoseJudged)
{
    Emulator emulator;
    ASSERT_FALSE(emulator.Port().isEmpty());
    session::ChipSession chip{compose::Vocabulary(AskInstalledAvrdude())};
    QTemporaryDir dir;
    const QString d = dir.path() + '/';
    {
        // Some users' shells export POSIXLY_CORRECT: getopt would stop at "stray" and never see -n.
        Env posix("POSIXLY_CORRECT", "1");
        const Ran ran = Execute(chip, emulator, kStart + QStringLiteral("-p m8 -U hfuse:w:0x5F:m stray -n"), false);
        EXPECT_TRUE(ran.started && ran.asked.isEmpty()) << ran.asked.join('\n').toStdString();
        EXPECT_EQ(emulator.Chip()["hfuse"].toInt(), 0xD9) << ran.output.toStdString();
    }
    // The line writes the file itself before it writes it to a fuse: the log avrdude opens at its
    // start, an earlier read's output.
    Write(d + "hf.bin", QByteArray(1, char(0xD9)));
    Ran ran = Execute(chip, emulator, kStart + QStringLiteral("-p m8 -l %1hf.bin -U hfuse:w:%1hf.bin:r").arg(d), false);
    ASSERT_EQ(ran.asked.size(), 1);
    EXPECT_TRUE(ran.asked[0].contains("writes hf.bin itself (its log")) << ran.asked[0].toStdString();
    ran = Execute(chip, emulator, kStart + QStringLiteral("-p m8 -U eeprom:w:0x5F:m -U eeprom:r:%1x.bin:r -U hfuse:w:%1x.bin:r").arg(d), false);
    ASSERT_EQ(ran.asked.size(), 1);
    EXPECT_TRUE(ran.asked[0].contains("(-U eeprom:r:" + d + "x.bin:r)")) << ran.asked[0].toStdString();
    EXPECT_FALSE(QFile::exists(d + "x.bin"));
    EXPECT_EQ(emulator.Chip()["hfuse"].toInt(), 0xD9);

    // Rewritten while the clock question is open: avrdude writes the copy of what was judged.
    Write(d + "hf.hex", ":01000000D926\n:00000001FF\n");
    ran = Execute(chip, emulator, kStart + QStringLiteral("-p m8 -U lfuse:w:0xE0:m -U hfuse:w:%1hf.hex:i").arg(d), true,
                  [&] { Write(d + "hf.hex", ":010000005FA0\n:00000001FF\n"); });
    ASSERT_EQ(ran.asked.size(), 1);
    EXPECT_TRUE(ran.asked[0].contains("Ext. Clock")) << ran.asked[0].toStdString();
    EXPECT_TRUE(ran.output.contains("stands for " + d + "hf.hex")) << ran.output.toStdString();
    EXPECT_EQ(emulator.Chip()["lfuse"].toInt(), 0xE0) << ran.output.toStdString();
    EXPECT_EQ(emulator.Chip()["hfuse"].toInt(), 0xD9);
    const QString copy = ran.output.section(" stands for " + d + "hf.hex", 0, 0).section(' ', -1);
    EXPECT_TRUE(copy.contains("fusewerk-run-")) << copy.toStdString();
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(copy).path())) << "the copies are gone with the run";
}

// The user's own configuration redefines a fuse (a forum's "fix": the low fuse written with the high
// fuse's instruction), and -F lets avrdude write to a chip that is another part than the line's.
TEST(LabGate, TheUsersConfigurationAndTheChipPresent)
{
    Emulator emulator;
    QTemporaryDir home;
    Env homeEnv("HOME", home.path());
    Env xdgEnv("XDG_CONFIG_HOME", QString());
    Env cacheEnv("XDG_CACHE_HOME", QString());
    // The part data was asked before the file appeared, as in a window open all along.
    session::ChipSession chip{compose::Vocabulary(AskInstalledAvrdude())};
    const QByteArray fix = "part parent \"m8\"\n  id = \"m8\";\n  memory \"lfuse\"\n"
                           "    write = \"1 0 1 0 1 1 0 0 1 0 1 0 1 0 0 0 x x x x x x x x i i i i i i i i\";\n  ;\n;\n";
    Write(home.filePath(".avrduderc"), fix);
    Ran ran = Execute(chip, emulator, kStart + QStringLiteral("-p m8 -U lfuse:w:0x61:m"), false);
    ASSERT_FALSE(ran.asked.isEmpty());
    EXPECT_TRUE(ran.asked[0].contains(home.filePath(".avrduderc") + " defines the ATmega8's lfuse otherwise than avrdude's own "
                                      "(its write instruction)")) << ran.asked[0].toStdString();
    EXPECT_EQ(emulator.Chip()["hfuse"].toInt(), 0xD9);
    ran = Execute(chip, emulator, kStart + QStringLiteral("-p m8 -U lfuse:w:0x61:m"), true);
    EXPECT_EQ(emulator.Chip()["hfuse"].toInt(), 0x61) << "avrdude did what the file says: " << ran.output.toStdString();
    // The same file where $XDG_CONFIG_HOME puts it, and the line's own -C +file.
    QFile::remove(home.filePath(".avrduderc"));
    ASSERT_TRUE(QDir().mkpath(home.filePath("xdg/avrdude")));
    Write(home.filePath("xdg/avrdude/avrdude.rc"), fix);
    {
        Env xdg("XDG_CONFIG_HOME", home.filePath("xdg"));
        ran = Execute(chip, emulator, kStart + QStringLiteral("-p m8 -U lfuse:w:0xE1:m"), false);
        ASSERT_EQ(ran.asked.size(), 1);
        EXPECT_TRUE(ran.asked[0].contains(home.filePath("xdg/avrdude/avrdude.rc") + " defines")) << ran.asked[0].toStdString();
    }
    ran = Execute(chip, emulator, kStart + QStringLiteral("-p m8 -C +%1 -U lfuse:w:0xE1:m").arg(home.filePath("xdg/avrdude/avrdude.rc")), false);
    ASSERT_EQ(ran.asked.size(), 1);
    EXPECT_TRUE(ran.asked[0].contains("(its write instruction)")) << ran.asked[0].toStdString();
    ran = Execute(chip, emulator, kStart + QStringLiteral("-p m8 -U lfuse:w:0xE1:m -U hfuse:w:0xD9:m"), false);
    EXPECT_TRUE(ran.asked.isEmpty() && ran.started) << "without the file, nothing to ask: " << ran.asked.join('\n').toStdString();
    EXPECT_EQ(emulator.Chip()["hfuse"].toInt(), 0xD9);

    // -F: the line's part is an ATmega16, whose high fuse 59 is harmless; the chip is an ATmega8.
    ran = Execute(chip, emulator, kStart + QStringLiteral("-p m16 -F -U hfuse:w:0x59:m"), false);
    ASSERT_EQ(ran.asked.size(), 1);
    EXPECT_TRUE(ran.asked[0].contains("(-F): the chip present may be another part than the ATmega16")) << ran.asked[0].toStdString();
    EXPECT_EQ(emulator.Chip()["hfuse"].toInt(), 0xD9);
    ran = Execute(chip, emulator, kStart + QStringLiteral("-p m16 -F -U hfuse:w:0x59:m"), true);
    EXPECT_EQ(emulator.Chip()["hfuse"].toInt(), 0x59) << "avrdude wrote it to the ATmega8: " << ran.output.toStdString();
}

// Where avrdude 7.1 finds the user's file, as it says it itself with -v.
TEST(LabGate, TheUsersFileIsFoundWhereAvrdudeFindsIt)
{
    QTemporaryDir home;
    ASSERT_TRUE(QDir().mkpath(home.filePath(".config/avrdude")) && QDir().mkpath(home.filePath("x/avrdude/avrdude.rc")));
    const auto said = [](const QProcessEnvironment &env) {
        const QByteArray out = runner::QueryTool("avrdude", {"-v"}, 5000, env).value_or(QByteArray());
        for (const QByteArray &line : out.split('\n'))
            if (line.contains("User configuration file is "))
                return out.contains("does not exist or is not a regular file") ? QString()
                                                                                 : QString::fromLocal8Bit(line.mid(line.indexOf("file is ") + 8).trimmed());
        return QString();
    };
    for (int step = 0; step < 5; ++step) {
        QProcessEnvironment env;
        env.insert("PATH", qEnvironmentVariable("PATH"));
        env.insert("HOME", home.path());
        if (step == 1)
            Write(home.filePath(".avrduderc"), "\n");
        if (step == 2)
            Write(home.filePath(".config/avrdude/avrdude.rc"), "\n");
        if (step == 3)
            env.insert("XDG_CONFIG_HOME", home.filePath("x"));  // avrdude.rc there is a folder
        if (step == 4) {
            env.remove("HOME");
            env.insert("XDG_CONFIG_HOME", home.filePath(".config"));
        }
        EXPECT_EQ(installed::UserConfigFile(env), said(env)) << "step " << step;
    }
}
