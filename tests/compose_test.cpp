#include "tests/printing.h"
#include "compose/command_line.h"
#include "compose/quoting.h"
#include "runner/command_split.h"
#include "compose/vocabulary.h"

#include <gtest/gtest.h>

using compose::BuildCommandLine;
using compose::FormState;

TEST(Vocabulary, ListsHaveTheirSizesAndEmptyFirstEntries)
{
    EXPECT_EQ(compose::OwnListsOnly().deviceList().size(), 27);
    EXPECT_EQ(compose::OwnListsOnly().programmerList().size(), 40);
    EXPECT_EQ(compose::PortList().size(), 13);
    EXPECT_EQ(compose::FormatList(), (QStringList{"Intel Hex", "Motorola", "Raw binary", "Immediate mode"}));
    for (const QStringList &list : {compose::OwnListsOnly().deviceList(), compose::OwnListsOnly().programmerList(), compose::PortList()})
        EXPECT_TRUE(list.front().isEmpty());
    EXPECT_EQ(compose::OwnListsOnly().deviceList()[18], "ATmega8");
    EXPECT_EQ(compose::OwnListsOnly().programmerList()[39], "usbasp");
    EXPECT_EQ(compose::PortList()[12], "com9");
}

TEST(Vocabulary, EveryListedDeviceHasAPartCodeAndTwoOnlyTyped)
{
    for (const QString &device : compose::OwnListsOnly().deviceList().mid(1))
        EXPECT_FALSE(compose::OwnListsOnly().partCode(device).isEmpty()) << device.toStdString();
    EXPECT_FALSE(compose::OwnListsOnly().deviceList().contains("AT90S1200"));
    EXPECT_FALSE(compose::OwnListsOnly().deviceList().contains("AT90S2333"));
}

TEST(Vocabulary, PartCodeLookupIsExact)
{
    const std::pair<const char *, const char *> rows[] = {
        {"ATmega8", "m8"},     {"ATmega88", "m88"},   {"ATmega8515", "m8515"}, {"AT90S1200", "1200"},
        {"AT90S2333", "2333"}, {"ATtiny2313", "t2313"}, {"ATmega103", "m103"}, {"atmega8", ""},
        {"ATmega8 ", ""},      {" ATmega8", ""},      {"", ""},                {"ATmega644", ""},
    };
    for (const auto &[device, code] : rows)
        EXPECT_EQ(compose::OwnListsOnly().partCode(QString::fromLatin1(device)), QString::fromLatin1(code)) << device;
}

TEST(Vocabulary, FormatLetters)
{
    const std::pair<const char *, const char *> rows[] = {
        {"Autodetect", "a"}, {"Intel Hex", "i"}, {"Motorola", "s"}, {"Raw binary", "r"},
        {"Immediate mode", "m"}, {"", "a"}, {"intel hex", "a"}, {"Intel Hex ", "a"}, {"Binary", "a"},
    };
    for (const auto &[format, letter] : rows)
        EXPECT_EQ(compose::LookupFormatLetter(QString::fromLatin1(format)), QString::fromLatin1(letter)) << format;
}

TEST(CommandLine, ValuesAtCreation)
{
    EXPECT_EQ(BuildCommandLine(FormState{}), "avrdude.exe -p m8 -c usbasp ");
}

TEST(CommandLine, WorkedExample)
{
    FormState s;
    s.device = "ATtiny2313";
    s.programmer = "stk500v2";
    s.port = "com1";
    s.options.chipErase = s.options.verbose = true;
    s.flash.write = s.flash.verify = true;
    s.flash.file = R"(C:\My Files\blink.hex)";
    s.flash.format = "Intel Hex";
    s.exitModes.reset = true;
    s.extraOptions = "-B 4";
    EXPECT_EQ(BuildCommandLine(s), R"(avrdude.exe -p t2313 -c stk500v2 -P com1 -e -v )"
                                   R"(-U flash:w:"C:\My Files\blink.hex":i -U flash:v:"C:\My Files\blink.hex":i )"
                                   R"(-E reset -B 4)");
}

TEST(CommandLine, PresenceRulesAndPlainValuesInsertedUnchanged)
{
    struct Row {
        const char *device, *programmer, *port, *extra, *expected;
    } rows[] = {
        {"", "", "", "", "avrdude.exe "},
        {"", "", "", "-B 4", "avrdude.exe -B 4"},
        {"ATmega644", "usbasp", "", "", "avrdude.exe -p  -c usbasp "},
        {" ", "", "", "", "avrdude.exe -p  "},
        {"", "my prog", "/dev/ttyUSB0", "", "avrdude.exe -c \"my prog\" -P /dev/ttyUSB0 "},  // one word
        {"", "", "", "-B 4 ", "avrdude.exe -B 4 "},
    };
    for (const Row &r : rows) {
        FormState s;
        s.device = r.device;
        s.programmer = r.programmer;
        s.port = r.port;
        s.extraOptions = r.extra;
        EXPECT_EQ(BuildCommandLine(s), r.expected);
    }
}

TEST(CommandLine, OptionsAndExitModesInTheirFixedOrder)
{
    FormState s;
    s.device = s.programmer = "";
    s.options.noVerify = s.options.verbose = s.options.terminal = s.options.quiet = s.options.noWrite = s.options.overrideSignature = s.options.chipErase = s.options.disableAutoErase =
        true;
    EXPECT_EQ(BuildCommandLine(s), "avrdude.exe -D -e -F -n -q -t -v -V ");
    FormState e;
    e.device = e.programmer = "";
    e.exitModes.reset = e.exitModes.noVcc = true;
    e.flash.read = true;
    e.extraOptions = "-x";
    EXPECT_EQ(BuildCommandLine(e), R"(avrdude.exe -U flash:r:"":a -E reset -E novcc -x)");
}

TEST(CommandLine, MemoryOperations)
{
    struct Row {
        bool fw, fr, fv, ew, er, ev;
        const char *expected;
    } rows[] = {
        // Always write, read, verify; one EEPROM write piece, not two.
        {false, false, false, true, false, false, R"(-U eeprom:w:"e.hex":r )"},
        {false, false, false, true, false, true, R"(-U eeprom:w:"e.hex":r -U eeprom:v:"e.hex":r )"},
        {false, false, false, true, true, true,
         R"(-U eeprom:w:"e.hex":r -U eeprom:r:"e.hex":r -U eeprom:v:"e.hex":r )"},
        {true, true, true, false, false, false,
         R"(-U flash:w:"f.hex":s -U flash:r:"f.hex":s -U flash:v:"f.hex":s )"},
        {false, true, false, false, true, false, R"(-U flash:r:"f.hex":s -U eeprom:r:"e.hex":r )"},
    };
    for (const Row &r : rows) {
        FormState s;
        s.device = s.programmer = "";
        s.flash.file = "f.hex";
        s.flash.format = "Motorola";
        s.eeprom.file = "e.hex";
        s.eeprom.format = "Raw binary";
        s.flash.write = r.fw, s.flash.read = r.fr, s.flash.verify = r.fv;
        s.eeprom.write = r.ew, s.eeprom.read = r.er, s.eeprom.verify = r.ev;
        EXPECT_EQ(BuildCommandLine(s), QStringLiteral("avrdude.exe ") + r.expected);
    }
}

TEST(CommandLine, FormatLettersOfTheRowsAreIndependentAndNamesUnescaped)
{
    FormState s;
    s.device = s.programmer = "";
    s.flash.write = s.eeprom.write = true;
    s.flash.file = R"(a"b %1.hex)";
    s.flash.format = "Motorola";
    EXPECT_EQ(BuildCommandLine(s), R"(avrdude.exe -U flash:w:"a\"b %1.hex":s -U eeprom:w:"":a )");
}

// Whatever a file name, port or programmer holds, the splitter gives each back as exactly one
// argument with exactly its text, and no operation is added or swallowed.
TEST(BuildCommandLine, ValuesComeBackFromTheSplitterWhole)
{
    const QString names[] = {
        R"(x" -U lock:w:0x00:m "y.hex)", R"(/tmp/dir\)", R"(/tmp/my "best" blink.hex)", R"(\\srv\a b\\"c\)",
        R"(C:\My Files\blink.hex)", "plain.hex", "",
    };
    for (const QString &name : names) {
        FormState s;
        s.port = name.isEmpty() ? QString() : name;
        s.programmer = name.isEmpty() ? QStringLiteral("usbasp") : name;
        s.flash = {name, "Intel Hex", true, false, false};
        s.eeprom = {name + "2", "Raw binary", true, false, false};
        const QStringList args = runner::SplitCommandLine(BuildCommandLine(s));
        QStringList expected{"avrdude.exe", "-p", "m8", "-c", s.programmer};
        if (!s.port.isEmpty())
            expected << "-P" << s.port;
        expected << "-U" << "flash:w:" + name + ":i" << "-U" << "eeprom:w:" + name + "2:r";
        EXPECT_EQ(args, expected) << BuildCommandLine(s).toStdString();
    }
    EXPECT_EQ(compose::QuoteWord(u"com1"), "com1");
    // The splitter splits at tabs as at blanks: a word holding one comes back whole.
    EXPECT_EQ(runner::SplitCommandLine("avrdude.exe " + compose::QuoteWord(u"a\tb")), (QStringList{"avrdude.exe", "a\tb"}));
}
