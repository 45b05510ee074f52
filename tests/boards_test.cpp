// The boards of an Arduino core and what Burn Bootloader runs for them: a core made here, and
// Debian's own where it is installed.
#include "tests/printing.h"
#include "boards/burn.h"
#include "installed/installed_avrdude.h"
#include "session/chip_session.h"
#include "tests/helpers.h"

#include <QDir>
#include <QDirIterator>
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


// MiniCore, as a user installs it: every board once with its seven menus, fuse values in binary built
// from other menus' values, bootloader paths from several properties, and the core's own recipe.
TEST(Boards, MiniCoreAsTheIdeShowsIt)
{
    QTemporaryDir home;
    const QString core = InstallCore(home.path(), QStringLiteral(FUSEWERK_CORES "/MiniCore/avr"), "MiniCore");
    ASSERT_TRUE(boards::CoreFolders(home.path()).contains(core));
    const std::vector<boards::Board> found = boards::ReadCore(core);
    ASSERT_EQ(found.size(), 5u);
    const boards::Found m328 = boards::FindBoard(found, "MiniCore:avr:328:clock=8MHz_internal,BOD=2v7,eeprom=keep");
    ASSERT_NE(m328.board, nullptr) << m328.error.toStdString();
    QStringList menus, clocks;
    for (const boards::Menu &m : m328.board->menus)
        menus << m.id;
    EXPECT_EQ(menus, QStringList({"clock", "BOD", "eeprom", "LTO", "variant", "bootloader", "baudrate"})) << "as menu.ID= declares them";
    for (const boards::MenuOption &o : m328.board->menu("clock")->options)
        clocks << o.caption;
    EXPECT_EQ(clocks.size(), 19);
    EXPECT_EQ(clocks.front(), "External 16 MHz") << "the first, preselected";
    EXPECT_TRUE(clocks.contains("Internal 8 MHz"));

    compose::FormState target;
    target.programmer = "usbasp";
    target.port = "usb";
    const boards::BurnPlan plan = boards::PlanBurn(*m328.board, m328.options, target, Recorded());
    EXPECT_EQ(plan.refusal, "");
    EXPECT_TRUE(plan.recipe);
    EXPECT_TRUE(plan.clockQuestion.isEmpty()) << "the internal oscillator needs nothing outside the chip";
    const QHash<QString, QByteArray> values = boards::BurnValues(plan.words);
    EXPECT_EQ(values.value("lfuse").toHex(), "e2");
    EXPECT_EQ(values.value("hfuse").toHex(), "d7");
    EXPECT_EQ(values.value("efuse").toHex(), "fd") << "0b1111{bootloader.cfd_bit}101";
    ASSERT_EQ(plan.lines.size(), 2);
    EXPECT_EQ(plan.lines[0], "avrdude.exe -q -q -patmega328p -cusbasp -Pusb -e -Ulock:w:0xff:m -Uefuse:w:0b11111101:m "
                             "-Uhfuse:w:0xd7:m -Ulfuse:w:0xe2:m");
    EXPECT_EQ(plan.lines[1], "avrdude.exe -q -q -patmega328p -cusbasp -Pusb -Uflash:w:" + core +
                                 "/bootloaders/urboot/atmega328p/watchdog_1_s/autobaud/uart0_rxd0_txd1/led+b5/"
                                 "urboot_atmega328p_pr_ee_ce.hex:i -Ulock:w:0xff:m");
    // The ATmega8 has no extended fuse: the recipe's -Uefuse (its value no property gives) is one
    // avrdude would skip, and is left out.
    const boards::Found m8 = boards::FindBoard(found, "MiniCore:avr:8:clock=1MHz_internal");
    const boards::BurnPlan eight = boards::PlanBurn(*m8.board, m8.options, target, Recorded());
    EXPECT_EQ(eight.refusal, "");
    EXPECT_FALSE(eight.lines.join(' ').contains("efuse"));
    EXPECT_EQ(boards::BurnValues(eight.words).value("lfuse").toHex(), "a1");
    // "No bootloader": the empty image writes nothing, and is no refusal.
    const boards::Found bare = boards::FindBoard(found, "MiniCore:avr:328:bootloader=no_bootloader");
    EXPECT_EQ(boards::PlanBurn(*bare.board, bare.options, target, Recorded()).refusal, "");
    // The 328PB variant needs a part this avrdude knows.
    const boards::Found pb = boards::FindBoard(found, "MiniCore:avr:328:variant=modelPB");
    EXPECT_EQ(boards::Settle(*pb.board, pb.options).mcu, "atmega328pb");
}

// Properties as the IDE expands them, and the bounds that keep a broken core from hanging anything.
TEST(Boards, PropertiesExpandWithinBounds)
{
    const boards::Properties p = boards::Properties::Parse("a={b}x\nb={c}\nc=C\nloop={again}\nagain={loop}\n"
                                                           "grow={grow}{grow}\nkey=base\nkey.linux=here\n");
    EXPECT_EQ(p.expand("[{a}]").text, "[Cx]");
    EXPECT_EQ(p.expand("{nobody} {a}").unknown, QStringList{"nobody"});
    EXPECT_EQ(p.value("key"), "here") << "the running system's own";
    const boards::Properties::Expansion circle = p.expand("{loop}");
    EXPECT_TRUE(circle.error.contains("in a circle")) << circle.error.toStdString();
    const boards::Properties::Expansion runaway = p.expand("{grow}");
    EXPECT_TRUE(runaway.error.contains("expand past 64 KB")) << runaway.error.toStdString();
    EXPECT_EQ(boards::SplitRecipe(R"("{cmd.path}" "-C{config.path}" -q -q '-Uflash:w:a b.hex:i' x)"),
              QStringList({"{cmd.path}", "-C{config.path}", "-q", "-q", "-Uflash:w:a b.hex:i", "x"}));

    // A board whose part refers to itself is an error that says so, and runs nothing.
    QTemporaryDir dir;
    Write(dir.filePath("boards.txt"), "x.name=Loop\nx.build.mcu={a}\nx.a={build.mcu}\n");
    const std::vector<boards::Board> found = boards::ReadCore(dir.path());
    ASSERT_EQ(found.size(), 1u);
    const boards::BurnPlan plan = boards::PlanBurn(found[0], {}, Usbasp(), Recorded());
    EXPECT_TRUE(plan.refusal.contains("in a circle")) << plan.refusal.toStdString();
}

// What MiniCore does not show, in a core of the test's own: a UPDI part built from a menu
// (attiny{build.attiny}), a recipe that writes its fuses by their own names, the core's own
// avrdude.conf, and an option that gives the UPDI pin away, which the gate asks about, naming the
// board and the option.
TEST(Boards, AUpdiCoreWithItsOwnConfiguration)
{
    QTemporaryDir home;
    const QString core = home.filePath("Arduino/hardware/tinycore/megaavr");
    QDir().mkpath(core);
    QFile::copy("/etc/avrdude.conf", core + "/avrdude.conf");  // the core's own copy of a configuration
    Write(core + "/platform.txt",
          "name=Tiny Test Core\n"
          "tools.avrdude.cmd.path={runtime.tools.avrdude.path}/bin/avrdude\n"
          "tools.avrdude.config.path={runtime.platform.path}/avrdude.conf\n"
          "tools.avrdude.erase.params.verbose=-v\ntools.avrdude.erase.params.quiet=-q -q\n"
          "tools.avrdude.bootloader.params.verbose=-v\ntools.avrdude.bootloader.params.quiet=-q -q\n"
          "tools.avrdude.erase.pattern=\"{cmd.path}\" \"-C{config.path}\" {erase.verbose} -p{build.mcu} -c{protocol} "
          "{program.extra_params} -e -Ufuse0:w:{bootloader.WDTCFG}:m -Ufuse1:w:{bootloader.BODCFG}:m "
          "-Ufuse2:w:{bootloader.OSCCFG}:m -Ufuse4:w:{bootloader.TCD0CFG}:m -Ufuse5:w:{bootloader.SYSCFG0}:m "
          "-Ufuse6:w:{bootloader.SYSCFG1}:m -Ufuse7:w:{bootloader.APPEND}:m -Ufuse8:w:{bootloader.BOOTEND}:m\n"
          "tools.avrdude.bootloader.pattern=\"{cmd.path}\" \"-C{config.path}\" {bootloader.verbose} -p{build.mcu} "
          "-c{protocol} {program.extra_params} -Ulock:w:{bootloader.LOCKBIT}:m\n");
    Write(core + "/boards.txt",
          "menu.chip=Chip\nmenu.resetpin=UPDI/Reset pin\n"
          "tiny.name=ATtiny 1-series\ntiny.build.mcu=attiny{build.attiny}\ntiny.bootloader.tool=avrdude\n"
          "tiny.bootloader.WDTCFG=0x00\ntiny.bootloader.BODCFG=0x00\ntiny.bootloader.OSCCFG=0x02\ntiny.bootloader.TCD0CFG=0x00\n"
          "tiny.bootloader.SYSCFG0=0b1100{bootloader.resetpin_bits}00\ntiny.bootloader.SYSCFG1=0x06\n"
          "tiny.bootloader.APPEND=0x00\ntiny.bootloader.BOOTEND=0x00\ntiny.bootloader.LOCKBIT=0xC5\n"
          "tiny.menu.chip.1614=ATtiny1614\ntiny.menu.chip.1614.build.attiny=1614\n"
          "tiny.menu.chip.1604=ATtiny1604\ntiny.menu.chip.1604.build.attiny=1604\n"
          "tiny.menu.resetpin.updi=UPDI (no reset)\ntiny.menu.resetpin.updi.bootloader.resetpin_bits=01\n"
          "tiny.menu.resetpin.gpio=GPIO (the UPDI pin given away)\ntiny.menu.resetpin.gpio.bootloader.resetpin_bits=00\n");
    const std::vector<boards::Board> found = boards::ReadBoards(boards::CoreFolders(home.path()));
    const boards::Found tiny = boards::FindBoard(found, "tinycore:megaavr:tiny:chip=1614");
    ASSERT_NE(tiny.board, nullptr) << tiny.error.toStdString();
    compose::FormState target;
    target.programmer = "serialupdi";
    target.port = "/dev/ttyUSB0";
    session::ChipSession chip{compose::Vocabulary(AskInstalledAvrdude())};
    const boards::BurnPlan plan = boards::PlanBurn(*tiny.board, tiny.options, target, chip.words());
    ASSERT_EQ(plan.refusal, "");
    ASSERT_EQ(plan.lines.size(), 2);
    EXPECT_EQ(plan.lines[0], "avrdude.exe -C" + core + "/avrdude.conf -q -q -pattiny1614 -cserialupdi -P/dev/ttyUSB0 -e "
                             "-Ufuse0:w:0x00:m -Ufuse1:w:0x00:m -Ufuse2:w:0x02:m -Ufuse4:w:0x00:m -Ufuse5:w:0b11000100:m "
                             "-Ufuse6:w:0x06:m -Ufuse7:w:0x00:m -Ufuse8:w:0x00:m");
    EXPECT_EQ(plan.lines[1], "avrdude.exe -C" + core + "/avrdude.conf -q -q -pattiny1614 -cserialupdi -P/dev/ttyUSB0 -Ulock:w:0xC5:m");
    QStringList asked;
    QObject::connect(&chip, &session::ChipSession::question, [&](const QString &text, bool *) { asked << text; });
    EXPECT_TRUE(chip.wouldRun(plan.lines, false, plan.board)) << asked.join('\n').toStdString();
    EXPECT_TRUE(asked.isEmpty()) << "judged by the core's configuration, which defines the fuses as avrdude's own does";

    const boards::Found gpio = boards::FindBoard(found, "tinycore:megaavr:tiny:resetpin=gpio");
    const boards::BurnPlan away = boards::PlanBurn(*gpio.board, gpio.options, target, chip.words());
    EXPECT_FALSE(chip.wouldRun(away.lines, false, away.board));
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].startsWith("Burn Bootloader for ATtiny 1-series (ATtiny1614, GPIO (the UPDI pin given away)):"))
        << asked[0].toStdString();
    EXPECT_TRUE(asked[0].contains("UPDI pin becomes \"GPIO mode\"")) << asked[0].toStdString();
}
