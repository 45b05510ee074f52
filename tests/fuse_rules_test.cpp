#include "tests/printing.h"
#include "compose/form_state.h"
#include "fuses/byte_commands.h"
#include "fuses/byte_text.h"
#include "fuses/bit_rules.h"
#include "fuses/fuse_layout.h"
#include "fuses/libc_bits.h"
#include "fuses/mask_text.h"

#include <gtest/gtest.h>

#include <map>

using namespace fuses;

TEST(ReadNumber, FieldAndOutputTexts)
{
    struct Row {
        const char *text;
        int base;
        int expected;
    } rows[] = {
        {"a5", 16, 165},  {"A5", 16, 165},   {"G1", 16, 0},     {"1G", 16, 1},     {"0", 16, 0},
        {" 5", 16, 5},    {"0x1f", 16, 31},  {"0X1F", 16, 31},  {"0x", 16, 0},     {"-1", 16, -1},
        {"+f", 16, 15},   {"", 16, 0},       {"100", 16, 256},  {"101", 2, 5},     {"10100101", 2, 165},
        {"1111111", 2, 127}, {"000000000", 2, 0}, {"12", 2, 1},  {" 98", 10, 98},   {"171 text", 10, 171},
        {"\t-3x", 10, -3}, {"abc", 10, 0},   {"- 5", 10, 0},    {"99999999999", 10, 2147483647},
    };
    for (const Row &r : rows)
        EXPECT_EQ(ReadNumber(QString::fromLatin1(r.text), r.base), r.expected) << r.text << " base " << r.base;
}

TEST(FixedWidthText, ValuesInAndOutOfTheByteRange)
{
    struct Row {
        int value, base;
        const char *expected;
    } rows[] = {
        {5, 2, "00000101"}, {5, 16, "05"},   {165, 2, "10100101"}, {165, 16, "a5"}, {255, 16, "ff"},
        {0, 16, "00"},      {256, 16, "00"}, {300, 16, "2c"},      {4096, 16, "100"}, {3840, 16, "000"},
        {256, 2, "000000000"}, {-1, 2, "1111111"}, {-1, 16, "f"},  {-256, 16, ""},
    };
    for (const Row &r : rows)
        EXPECT_EQ(FixedWidthText(r.value, r.base), QString::fromLatin1(r.expected)) << r.value << " base " << r.base;
}

TEST(ScanHexList, CalibrationAndSignatureLines)
{
    struct Row {
        const char *line;
        int count;
        const char *expected;
    } rows[] = {
        {"0x1e,0x93,0x07", 3, "1e9307"},   {"0x1e,0x93,0x7", 3, "1e9307"},
        {"0X1e,0x93,0x07", 3, "000000"},   {"0x1e,0X93,0x07", 3, "1e0000"},
        {"0xa5,0xa3,0xa4,0xa5", 4, "a5a3a4a5"}, {"0xa5", 4, "a5000000"},
        {"0x a5,0x\t3", 4, "a5030000"},    {" 0xa5", 4, "00000000"},
        {"0xa5 ,0xa3", 4, "a5000000"},     {"0xa5, 0xa3", 4, "a5000000"},
        {"", 3, "000000"},                 {"0x1E,0x93,0x07 (m8)", 3, "1e9307"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(HexListText(ScanHexList(QString::fromLatin1(r.line), r.count)), QString::fromLatin1(r.expected))
            << r.line;
}

TEST(MaskText, TheTwoTextForms)
{
    MaskText bin(8, false, true, u"00000000");
    EXPECT_EQ(bin.Text(), "00000000");
    bin.Clear(3, 8);
    EXPECT_EQ(bin.RawText(), "000_____");
    EXPECT_EQ(bin.Text(), "000");
    bin.Clear(0, 1);
    EXPECT_EQ(bin.Text(), " 00");
    EXPECT_TRUE(bin.HasUnfilled());

    MaskText hex(2, true, false, u"00");
    hex.SetText(u"a5");
    EXPECT_EQ(hex.RawText(), "A5");
    hex.SetText(u"100");  // set by code: kept whole, not cut to two positions
    EXPECT_EQ(hex.Text(), "100");
    hex.SetText(u" 5");
    EXPECT_EQ(hex.RawText(), "_5");
    EXPECT_EQ(hex.Text(), " 5");
    hex.SetText(u"A");
    EXPECT_EQ(hex.RawText(), "A_");
    EXPECT_EQ(hex.Text(), "A");
}

TEST(MaskText, TypingOverwritesOnePositionAtATime)
{
    MaskText hex(2, true, false, u"00");
    int pos = hex.Type(0, u'g');
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(hex.RawText(), "G0");
    pos = hex.Type(pos, u'-');
    EXPECT_EQ(hex.Type(pos, u'1'), pos) << "no position left";
    EXPECT_EQ(hex.RawText(), "G-");
    EXPECT_EQ(hex.Backspace(2), 1);
    EXPECT_EQ(hex.RawText(), "G_");

    MaskText bin(8, false, true, u"00000000");
    EXPECT_EQ(bin.Type(0, u'x'), 0) << "binary positions take digits only";
    EXPECT_EQ(bin.Paste(6, u"1a92"), 8);
    EXPECT_EQ(bin.RawText(), "00000019");
}

TEST(BoxRule, EditsOneCharacterOfTheRawText)
{
    EXPECT_EQ(WithBit("00000000", 3, true), "00001000");
    EXPECT_EQ(WithBit("11111111", 7, false), "01111111");
    EXPECT_EQ(WithBit("101_____", 0, true), "101____1");
    EXPECT_EQ(WithBit("1111111", 0, false), "11111110");
    EXPECT_TRUE(BitIsSet("10000000", 7));
    EXPECT_FALSE(BitIsSet("10000000", 0));
    EXPECT_FALSE(BitIsSet("1111111", 0));
    EXPECT_FALSE(BitIsSet("0000000_", 0));
    EXPECT_EQ(BinaryKey(u'1'), u'1');
    for (QChar c : {QChar(u'0'), QChar(u'7'), QChar(u'x'), QChar(0x08), QChar(0x16), QChar(u' ')})
        EXPECT_EQ(BinaryKey(c), u'0');
}

namespace {
QStringList Captions(const GroupLayout &g)
{
    QStringList out;
    for (const QString &c : g.captions)
        out << c;
    return out;
}
}  // namespace

TEST(FuseLayout, ATmega8InFull)
{
    const FuseLayout m8 = LookupFuseLayout(u"ATmega8");
    ASSERT_TRUE(m8.inTable);
    EXPECT_EQ(Captions(m8.groups[0]),
              (QStringList{"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "BODEN", "BODLEVEL"}));
    EXPECT_EQ(Captions(m8.groups[1]),
              (QStringList{"BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "CKOPT", "SPIEN", "WTDON", "RSTDISBL"}));
    EXPECT_EQ(Captions(m8.groups[2]),
              (QStringList{"LB1", "LB2", "BLB01", "BLB02", "BLB11", "BLB12", "Bit 6", "Bit 7"}));
    EXPECT_FALSE(m8.groups[3].on);
    EXPECT_EQ(Captions(m8.groups[3]).join(','), "Bit 0,Bit 1,Bit 2,Bit 3,Bit 4,Bit 5,Bit 6,Bit 7");
}

TEST(FuseLayout, CaptionsThatDifferOnPurpose)
{
    EXPECT_EQ(LookupFuseLayout(u"ATmega8515").groups[1].captions[6], "WTDON");
    EXPECT_EQ(LookupFuseLayout(u"ATmega8535").groups[1].captions[7], "S8535C");
    EXPECT_EQ(LookupFuseLayout(u"ATmega162").groups[1].captions[4], "WDTON");
    EXPECT_EQ(LookupFuseLayout(u"ATmega162").groups[0].captions[7], "CLKDIV8");
    EXPECT_EQ(LookupFuseLayout(u"ATmega48").groups[0].captions[7], "CKDIV8");
    EXPECT_EQ(LookupFuseLayout(u"ATtiny13").groups[0].captions[4], "CKDIV8");
    EXPECT_EQ(LookupFuseLayout(u"ATmega161").groups[0].captions[4], "SUT") << "bit 4, as the datasheet has it";
    EXPECT_EQ(LookupFuseLayout(u"ATmega64").groups[3].captions[1], "CompMode");
    const FuseLayout m88 = LookupFuseLayout(u"ATmega88");
    const auto low3 = [&](int g) {
        return QStringList{m88.groups[g].captions[2], m88.groups[g].captions[1], m88.groups[g].captions[0]};
    };
    EXPECT_EQ(low3(1), (QStringList{"BODLEVEL2", "BODLEVEL1", "BODLEVEL0"})) << "the high fuse, as the datasheet has it";
    EXPECT_EQ(low3(3), (QStringList{"BOOTSZ1", "BOOTSZ0", "BOOTRST"}));
    EXPECT_EQ(LookupFuseLayout(u"ATmega162").groups[3].captions[0], "Bit 0");
}

TEST(FuseLayout, DevicesWithEqualLayouts)
{
    const auto same = [](const char *a, const char *b) {
        const FuseLayout x = LookupFuseLayout(QString::fromLatin1(a)), y = LookupFuseLayout(QString::fromLatin1(b));
        for (int g = 0; g < 4; ++g)
            if (x.groups[g].on != y.groups[g].on || Captions(x.groups[g]) != Captions(y.groups[g]))
                return false;
        return true;
    };
    EXPECT_TRUE(same("ATmega16", "ATmega128"));
    for (const char *d : {"AT90S4434", "AT90S8515", "AT90S8535"})
        EXPECT_TRUE(same("AT90S4414", d)) << d;
    for (const char *d : {"ATtiny12", "ATtiny15"})
        EXPECT_TRUE(same("AT90S2313", d)) << d;
    EXPECT_FALSE(same("ATmega8", "ATmega8515"));
}

TEST(FuseLayout, EveryListedDeviceIsInTheTableAndTheLockGroupIsAlwaysOn)
{
    EXPECT_EQ(FuseLayoutTable.size(), 26u);
    for (const auto &entry : FuseLayoutTable) {
        const FuseLayout layout = LookupFuseLayout(QString::fromLatin1(entry.device));
        EXPECT_TRUE(layout.inTable);
        EXPECT_TRUE(layout.groups[2].on) << entry.device;
    }
    for (const char *other : {"", "atmega8", "ATmega8 ", "AT90S1200", "AT90S2333"}) {
        const FuseLayout layout = LookupFuseLayout(QString::fromLatin1(other));
        EXPECT_FALSE(layout.inTable) << other;
        for (const auto &g : layout.groups) {
            EXPECT_TRUE(g.on);
            EXPECT_EQ(g.captions[5], "Bit 5");
        }
    }
}

TEST(ByteCommands, Reads)
{
    compose::FormState s;
    EXPECT_EQ(BuildReadCommand(s, ReadOperation("lfuse", u'd')), "avrdude.exe -p m8 -c usbasp -U lfuse:r:-:d -D -q ");
    s.device = "ATmega644";
    EXPECT_EQ(BuildReadCommand(s, ReadOperation("lfuse", u'd')), "avrdude.exe -p  -c usbasp -U lfuse:r:-:d -D -q ");
    // -D and -q always, -n when ticked, never -e -F -t -v -V, and no flash or EEPROM operation.
    compose::FormState all;
    all.port = "/dev/ttyUSB0";
    all.options.disableAutoErase = all.options.chipErase = all.options.overrideSignature = all.options.noWrite = true;
    all.options.quiet = all.options.terminal = true;
    all.options.noVerify = all.options.verbose = all.flash.write = all.eeprom.read = true;
    all.exitModes.noReset = all.exitModes.vcc = true;
    all.extraOptions = "-B 4";
    EXPECT_EQ(BuildReadCommand(all, ReadOperation("signature", u'h')),
              "avrdude.exe -p m8 -c usbasp -P /dev/ttyUSB0 -U signature:r:-:h -D -n -q -E noreset -E vcc -B 4");
}

TEST(ByteCommands, Writes)
{
    compose::FormState s;
    EXPECT_EQ(BuildWriteCommand(s) + WriteOperation("lfuse", "E1"), "avrdude.exe -p m8 -c usbasp -U lfuse:w:0xE1:m ");
    s.device = "";
    s.options.chipErase = s.options.noWrite = s.options.terminal = true;
    s.flash.write = s.eeprom.write = true;
    s.exitModes.reset = true;
    s.extraOptions = "-B 4";  // no trailing blank: one is put before the operation
    EXPECT_EQ(BuildWriteCommand(s) + WriteOperation("calibration", "A1B2C3D4"),
              "avrdude.exe -c usbasp -e -n -t -E reset -B 4 -U calibration:w:0xA1B2C3D4:m ");
    s.extraOptions = "-B 4\t";
    EXPECT_TRUE(BuildWriteCommand(s).endsWith("-B 4\t"));
    EXPECT_EQ(WriteOperation("hfuse", " 5"), "-U hfuse:w:0x 5:m ");
    EXPECT_EQ(WriteOperation("efuse", "5"), "-U efuse:w:0x5:m ");
}

TEST(ValueLine, TheConfiguredLineWinsWhenItHoldsAValue)
{
    const QStringList lines{"", "avrdude: AVR device initialized and ready to accept instructions",
                            "avrdude: device signature = 0x1e9307 (probably m8)", "avrdude: reading lfuse memory ...",
                            "avrdude: writing output file <stdout>", "225", "", "avrdude done.  Thank you.", ""};
    EXPECT_EQ(FindValueLine(lines, 5, ValueForm::Decimal).value(), "225");
    // The configured line holds no value: the output's one value line is taken.
    for (int index : {0, 1, 2, 6, 7, 40, -1})
        EXPECT_EQ(FindValueLine(lines, index, ValueForm::Decimal).value(), "225") << index;
    QStringList other = lines;
    other[1] = "171 followed by text";
    EXPECT_EQ(FindValueLine(other, 1, ValueForm::Decimal).value(), "171 followed by text");
    EXPECT_EQ(FindValueLine({" 98"}, 0, ValueForm::Decimal).value(), " 98");
}

TEST(ValueLine, NoValueOrMoreThanOneCandidate)
{
    const QStringList error{"", "avrdude: error: program enable: target doesn't answer. 0", "",
                            "avrdude done.  Thank you."};
    EXPECT_FALSE(FindValueLine(error, 1, ValueForm::Decimal));
    EXPECT_FALSE(FindValueLine({}, 0, ValueForm::Decimal));
    EXPECT_FALSE(FindValueLine({"12", "13"}, 5, ValueForm::Decimal));
    EXPECT_FALSE(FindValueLine({"0X1E,0x93,0x07"}, 0, ValueForm::HexList));
}

TEST(ValueLine, HexLists)
{
    const QStringList sig{"", "avrdude: device signature = 0x1e9307 (probably m8)", "0x1e,0x93,0x7", ""};
    EXPECT_EQ(FindValueLine(sig, 1, ValueForm::HexList).value(), "0x1e,0x93,0x7");
    EXPECT_EQ(FindValueLine(sig, 2, ValueForm::HexList).value(), "0x1e,0x93,0x7");
    EXPECT_EQ(FindValueLine({"0xa5"}, 0, ValueForm::HexList).value(), "0xa5");
    EXPECT_EQ(FindValueLine({"x", "  0xa5,0xa3  "}, 0, ValueForm::HexList).value(), "0xa5,0xa3");
}

// Every bit the window's own device table names stands where avr-libc puts that name; a few
// captions of the table's own spelling name the same bit as avr-libc's name.
TEST(FuseLayoutTable, EveryNamedBitStandsWhereAvrLibcPutsIt)
{
    const std::map<QString, QString> sameBit = {
        {"WTDON", "WDTON"}, {"CLKDIV8", "CKDIV8"}, {"SELFPRGEN", "SPMEN"}, {"CompMode", "M103C"}};
    int compared = 0;
    for (const auto &entry : fuses::FuseLayoutTable) {
        const QString device = QString::fromLatin1(entry.device);
        const fuses::FuseLayout layout = fuses::LookupFuseLayout(device);
        for (const fuses::FuseByteRow &row : fuses::FuseByteTable) {
            const fuses::GroupLayout &group = layout[row.byte];
            const QString memory = QString::fromLatin1(row.memory);
            for (int k = 0; group.on && k < 8; ++k) {
                const QString caption = group.captions[k];
                if (caption == fuses::PlainBitCaption(k))
                    continue;
                if (const fuses::LibcBit *libc = fuses::FindLibcBit(device, memory, k)) {
                    const auto alias = sameBit.find(caption);
                    EXPECT_TRUE(caption == QLatin1String(libc->name) ||
                                (alias != sameBit.end() && alias->second == QLatin1String(libc->name)))
                        << entry.device << " " << row.memory << " bit " << k << ": " << caption.toStdString()
                        << ", avr-libc " << libc->name;
                    ++compared;
                }
                for (int j = 0; j < 8; ++j)
                    if (const fuses::LibcBit *other = fuses::FindLibcBit(device, memory, j); other && j != k)
                        EXPECT_NE(caption, QLatin1String(other->name))
                            << entry.device << " " << row.memory << ": " << caption.toStdString() << " is bit " << j
                            << ", not " << k;
            }
        }
    }
    EXPECT_GT(compared, 300);
}
