#include "tests/printing.h"
#include "settings/ini_file.h"
#include "settings/settings.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include "compose/vocabulary.h"

#include <gtest/gtest.h>

TEST(IniFile, NamesWithoutRegardToCaseAndBlanksAroundKeysAndValues)
{
    const IniFile ini = IniFile::Parse("[config]\r\n  DEVICE =  18  \r\nFlash= a b \r\n[ReadFuseFromLine]\nusbasp=0x3\n"
                                       "stk500v1=$3\navrisp=letters\nbsd=\njtag1= -1\n");
    EXPECT_EQ(ini.ReadInteger("Config", "Device", 0), 18);
    EXPECT_EQ(ini.ReadString("CONFIG", "flash", "x"), "a b");
    EXPECT_EQ(ini.ReadInteger("ReadFuseFromLine", "usbasp", 1), 3);
    EXPECT_EQ(ini.ReadInteger("ReadFuseFromLine", "stk500v1", 0), 3);
    EXPECT_EQ(ini.ReadInteger("ReadFuseFromLine", "avrisp", 7), 7);
    EXPECT_EQ(ini.ReadInteger("ReadFuseFromLine", "bsd", 7), 7);
    EXPECT_EQ(ini.ReadInteger("ReadFuseFromLine", "jtag1", 7), -1);
    EXPECT_EQ(ini.ReadInteger("ReadFuseFromLine", "missing", 4), 4);
    EXPECT_EQ(ini.ReadString("Nowhere", "Device", "dflt"), "dflt");
}

TEST(IniFile, IntegersAndBooleans)
{
    const std::pair<const char *, std::optional<int>> rows[] = {
        {"12", 12}, {"-1", -1}, {"$1F", 31}, {"0x1f", 31}, {"0X1F", 31}, {"1e", std::nullopt},
        {"", std::nullopt}, {"0x", std::nullopt}, {"$-1", std::nullopt}, {"99999999999", std::nullopt},
        {"$FFFFFFFF", -1},
    };
    for (const auto &[text, expected] : rows)
        EXPECT_EQ(IniFile::ParseInteger(QString::fromLatin1(text)), expected) << text;
    const IniFile ini = IniFile::Parse("[Config]\nOpt1=2\nOpt2=0\nOpt3=yes\n");
    EXPECT_TRUE(ini.ReadBool("Config", "Opt1", false));
    EXPECT_FALSE(ini.ReadBool("Config", "Opt2", true));
    EXPECT_FALSE(ini.ReadBool("Config", "Opt3", false));
}

TEST(IniFile, WritesKeepEveryOtherLineByteForByte)
{
    const QByteArray before = "; my settings\r\n[ReadFuseFromLine]\r\nusbasp = 5 ; hand-made\r\n\r\n"
                              "[Config]\r\nDevice=3\r\nX=keep me\r\n\r\n; trailing comment\r\n[Other]\r\na=b";
    IniFile ini = IniFile::Parse(before);
    ini.WriteInteger("config", "device", 18);
    ini.WriteString("Config", "Flash", "f.hex");
    ini.WriteString("Fresh", "k", "v");
    EXPECT_EQ(ini.Bytes(), QByteArray("; my settings\r\n[ReadFuseFromLine]\r\nusbasp = 5 ; hand-made\r\n\r\n"
                                      "[Config]\r\ndevice=18\r\nX=keep me\r\nFlash=f.hex\r\n\r\n; trailing comment\r\n"
                                      "[Other]\r\na=b\r\n[Fresh]\r\nk=v\r\n"));
    IniFile empty = IniFile::Parse("");
    empty.WriteBool("Config", "Opt1", true);
    EXPECT_EQ(empty.Bytes(), "[Config]\nOpt1=1\n");
}

TEST(IniFile, AwkwardValuesRoundTrip)
{
    const QString values[] = {"-B 4 ", " lead", "\ttab\t", "a=b", "x;y", "[Config]", "\"quoted\"", "'single'",
                              "\"", "say \"hi\"", QString::fromUtf8("Ger\xc3\xa4t \xe2\x82\xac"), "", "   "};
    IniFile ini;
    for (int i = 0; i < int(std::size(values)); ++i)
        ini.WriteString("Config", QStringLiteral("K%1").arg(i), values[i]);
    const IniFile back = IniFile::Parse(ini.Bytes());
    for (int i = 0; i < int(std::size(values)); ++i)
        EXPECT_EQ(back.ReadString("Config", QStringLiteral("K%1").arg(i), "?"), values[i]) << i;
    // A value is read up to 2047 characters.
    IniFile longOne;
    longOne.WriteString("Config", "Long", QString(3000, u'a'));
    EXPECT_EQ(IniFile::Parse(longOne.Bytes()).ReadString("Config", "Long", "").size(), 2047);
}

TEST(IniFile, SavesWholeOrNotAtAll)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Fusewerk.ini");
    IniFile ini;
    ini.WriteString("Config", "Caption", "first");
    ASSERT_TRUE(ini.Save(path));
    EXPECT_EQ(IniFile::Load(path).ReadString("Config", "Caption", ""), "first");
    EXPECT_FALSE(ini.Save(dir.filePath("no/such/dir/Fusewerk.ini")));
    EXPECT_EQ(IniFile::Load(dir.filePath("missing.ini")).Bytes(), "");
}

TEST(IniFile, RandomBytesNeitherCrashNorHang)
{
    QRandomGenerator random(12345);
    const char alphabet[] = "[]=;\r\n \t\"'$0xAbc\0\xff";
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes;
        const int size = random.bounded(200);
        for (int i = 0; i < size; ++i)
            bytes += round % 2 ? char(random.bounded(256)) : alphabet[random.bounded(int(sizeof alphabet))];
        IniFile ini = IniFile::Parse(bytes);
        ASSERT_EQ(ini.Bytes(), bytes) << "an untouched file is kept byte for byte";
        ini.ReadInteger("Config", "Device", 0);
        ini.WriteString("Config", "Device", "5");
        EXPECT_EQ(IniFile::Parse(ini.Bytes()).ReadString("Config", "Device", ""), "5");
    }
}

TEST(SettingsPath, BesideTheProgramOrPerUser)
{
    EXPECT_EQ(settings::ChooseSettingsPath("/opt/fw", true, "/home/u/.config/Fusewerk"), "/opt/fw/Fusewerk.ini");
    EXPECT_EQ(settings::ChooseSettingsPath("/usr/local/bin", false, "/home/u/.config/Fusewerk"),
              "/home/u/.config/Fusewerk/Fusewerk.ini");
    // Installed by the package and run by root, who may write there: still per user.
    EXPECT_EQ(settings::ChooseSettingsPath("/usr/bin", true, "/root/.config/Fusewerk"), "/root/.config/Fusewerk/Fusewerk.ini");
}

TEST(SettingsPath, LineTableDefaults)
{
    const QStringList programmers = settings::ReadLineProgrammers(compose::OwnListsOnly().programmerList());
    ASSERT_EQ(programmers.size(), 39);
    EXPECT_EQ(programmers.front(), "abcmini");
    EXPECT_EQ(programmers.back(), "usbasp");
    for (const QString &p : programmers)
        EXPECT_EQ(settings::DefaultReadLine(p), p == "usbasp" ? 1 : 0);
}
