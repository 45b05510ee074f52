// The boards of an Arduino core and what Burn Bootloader runs for them: a core made here, and
// Debian's own where it is installed.
#include "tests/printing.h"
#include "boards/burn.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

compose::Vocabulary Recorded()
{
    QFile parts(QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/parts_St.txt"));
    EXPECT_TRUE(parts.open(QIODevice::ReadOnly));
    QFile modes(QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/programmers_St.txt"));
    EXPECT_TRUE(modes.open(QIODevice::ReadOnly));
    compose::InstalledAvrdude installed{compose::ParseParts(parts.readAll()), {{"usbasp", "USBasp"}, {"arduino", "Arduino"}}};
    compose::ReadProgrammerModes(modes.readAll(), installed.programmers);
    return compose::Vocabulary(installed);
}

void Write(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

compose::FormState Usbasp()
{
    compose::FormState s;
    s.programmer = QStringLiteral("usbasp");
    s.port = QStringLiteral("usb");
    return s;
}

}  // namespace

// A core with a menu: one board per option, each option's keys over the board's; the lines in the
// Arduino tools' order; an empty fuse key writes nothing; an image missing, below the boot section
// the fuses set, or past the flash runs nothing, and the reason names it.
TEST(Boards, AMenuOfOptionsAndWhatEachBurns)
{
    QTemporaryDir dir;
    const QString core = dir.filePath(".arduino15/packages/bench/hardware/avr/1.0");
    Write(core + "/boards.txt", "menu.cpu=Processor\n"
                                "# a comment\n"
                                "tiny8.name=Bench Eight\n"
                                "tiny8.build.mcu=atmega8\n"
                                "tiny8.upload.protocol=arduino\n"
                                "tiny8.upload.speed=19200\n"
                                "tiny8.bootloader.low_fuses=0xdf\n"
                                "tiny8.bootloader.high_fuses=0xca\n"
                                "tiny8.bootloader.unlock_bits=0x3F\n"
                                "tiny8.bootloader.lock_bits=0x0F\n"
                                "tiny8.menu.cpu.boot=In the boot section\n"
                                "tiny8.menu.cpu.boot.bootloader.file=bench/{build.mcu}.hex\n"
                                "tiny8.menu.cpu.low=Below it\n"
                                "tiny8.menu.cpu.low.bootloader.file=bench/low.hex\n"
                                "tiny8.menu.cpu.bare=No bootloader\n"
                                "tiny8.menu.cpu.bare.bootloader.extended_fuses=\n"
                                "gone.name=Gone\n"
                                "gone.build.mcu=atmega328p\n"
                                "gone.bootloader.file=none/missing.hex\n"
                                "bare.name=Bare\n"
                                "bare.build.mcu=atmega8\n");
    Write(core + "/bootloaders/bench/atmega8.hex", ":041C00000C9434000C\n:00000001FF\n");
    Write(core + "/bootloaders/bench/low.hex", ":041000000C94340018\n:00000001FF\n");
    ASSERT_TRUE(boards::CoreFolders(dir.path()).contains(core)) << "found where the Arduino IDE installs cores";
    const std::vector<boards::Board> found = boards::ReadCore(core);
    ASSERT_EQ(found.size(), 3u) << "one entry a board, its menu a choice of its own";
    EXPECT_EQ(found[0].fqbn(), "bench:avr:tiny8");
    ASSERT_EQ(found[0].menus.size(), 1u);
    EXPECT_EQ(found[0].menus[0].caption, "Processor");
    EXPECT_EQ(found[0].label(found[0].withDefaults()), "Bench Eight (In the boot section)");
    const boards::Found plain = boards::FindBoard(found, "tiny8");
    ASSERT_EQ(plain.board, &found[0]);
    EXPECT_EQ(plain.options.value("cpu"), "boot") << "a board named without its options: the first of each menu";
    EXPECT_EQ(boards::FindBoard(found, "bench:avr:tiny8:cpu=low").options.value("cpu"), "low");
    EXPECT_EQ(boards::FindBoard(found, "tiny8:bare").options.value("cpu"), "bare") << "the older form, by option id";
    EXPECT_EQ(boards::FindBoard(found, "bench:avr:tiny8:cpu=fast").error, "Bench Eight's menu Processor has no option \"fast\"");
    EXPECT_EQ(boards::FindBoard(found, "bench:avr:tiny8:clock=x").error, "Bench Eight has no menu \"clock\"");

    const compose::Vocabulary words = Recorded();
    const auto burn = [&](const boards::Board &b, const char *cpu, const compose::FormState &target = Usbasp()) {
        return boards::PlanBurn(b, cpu ? boards::Options{{"cpu", cpu}} : boards::Options{}, target, words);
    };
    const boards::BurnPlan boot = burn(found[0], "boot");
    EXPECT_EQ(boot.refusal, "");
    EXPECT_EQ(boot.lines, QStringList({"avrdude.exe -p m8 -c usbasp -P usb -e -U lock:w:0x3F:m -U hfuse:w:0xCA:m -U lfuse:w:0xDF:m",
                                       "avrdude.exe -p m8 -c usbasp -P usb -U flash:w:" + core +
                                           "/bootloaders/bench/atmega8.hex:i -U lock:w:0x0F:m"}));
    EXPECT_EQ(burn(found[0], "low").refusal,
              "low.hex starts at 0x1000, below the boot section the board's fuses set (0x1C00 to 0x1FFF)");
    EXPECT_EQ(burn(found[0], "bare").lines,
              QStringList({"avrdude.exe -p m8 -c usbasp -P usb -e -U lock:w:0x3F:m -U hfuse:w:0xCA:m -U lfuse:w:0xDF:m",
                           "avrdude.exe -p m8 -c usbasp -P usb -U lock:w:0x0F:m"}));
    EXPECT_TRUE(burn(found[1], nullptr).refusal.startsWith("Gone names the bootloader missing.hex, which is not installed"));
    EXPECT_TRUE(burn(found[2], nullptr).refusal.startsWith("Bare gives no fuse, lock or bootloader values"))
        << "a burn of nothing would only erase the chip";
    compose::FormState arduino = Usbasp();
    arduino.programmer = "arduino";
    EXPECT_TRUE(burn(found[0], "boot", arduino).refusal.contains("is itself a bootloader"));

    // Menus stand in the order the file declares them, whatever order a board sets them in.
    const QString second = dir.filePath("second");
    Write(second + "/boards.txt", "menu.clock=Clock\nmenu.cpu=Processor\n"
                                  "two.name=Two\ntwo.build.mcu=atmega8\n"
                                  "two.menu.cpu.a=Proc A\ntwo.menu.cpu.a.bootloader.low_fuses=0xE1\n"
                                  "two.menu.clock.f=Fast\ntwo.menu.clock.f.bootloader.high_fuses=0xD9\n");
    const std::vector<boards::Board> two = boards::ReadCore(second);
    ASSERT_EQ(two.size(), 1u);
    EXPECT_EQ(two[0].label(two[0].withDefaults()), "Two (Fast, Proc A)");
}

// Debian's arduino-core-avr, where it is installed: the Uno's image reaches past the ATmega328P's
// flash (avrdude would erase the chip and then fail).
TEST(Boards, DebiansCore)
{
    const std::vector<boards::Board> found = boards::ReadCore("/usr/share/arduino/hardware/arduino/avr");
    if (found.empty())
        GTEST_SKIP() << "arduino-core-avr is not installed";
    EXPECT_EQ(found.size(), 27u);
    const boards::Found uno = boards::FindBoard(found, "arduino:avr:uno");
    ASSERT_NE(uno.board, nullptr);
    EXPECT_EQ(boards::PlanBurn(*uno.board, uno.options, Usbasp(), Recorded()).refusal,
              "optiboot_atmega328.hex reaches 0x8013; the ATmega328P's flash ends at 0x7FFF");
}
