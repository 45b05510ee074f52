// What the installed avrdude adds: its parts and programmers in the lists, fuse groups named after
// avr-libc, settings kept by name. Over recorded avrdude 7.1 answers and over the real avrdude.
#include "tests/printing.h"
#include "window/main_window.h"
#include "installed/installed_avrdude.h"
#include "compose/vocabulary.h"
#include "fuses/fuse_layout.h"
#include "tests/helpers.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QByteArray Recorded(const char *name)
{
    QFile file(QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/%1").arg(QLatin1String(name)));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

compose::InstalledAvrdude RecordedAvrdude()
{
    return {compose::ParseParts(Recorded("parts_St.txt")), compose::ParseProgrammers(Recorded("programmers.txt"))};
}

// Windows made with `deps` meet the recorded avrdude.
struct RecordedInstall {
    RecordedInstall() { deps.vocabulary = RecordedAvrdude(); }
    WindowDeps deps;
};

QStringList Captions(const fuses::GroupLayout &g)
{
    QStringList out;
    for (const QString &c : g.captions)
        out << c;
    return out;
}

QStringList Plain(std::initializer_list<int> bits, QStringList captions)
{
    for (int k : bits)
        captions[k] = fuses::PlainBitCaption(k);
    return captions;
}

}  // namespace

TEST(Installed, PartCodesAndFuseGroupsFollowTheRecordedParts)
{
    const compose::Vocabulary words(RecordedAvrdude());
    EXPECT_EQ(words.partCode(u"ATmega328P"), "m328p");
    EXPECT_EQ(words.partCode(u"ATmega8"), "m8") << "the window's own table first";
    EXPECT_EQ(words.partCode(u"ATmega9999"), "");
    EXPECT_EQ(words.partCode(u"atmega328p"), "");

    const fuses::FuseLayout m328p = fuses::LookupFuseLayout(u"ATmega328P", words.findPart(u"ATmega328P"));
    EXPECT_TRUE(m328p.inTable);
    EXPECT_EQ(Captions(m328p.groups[0]),
              (QStringList{"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3", "SUT0", "SUT1", "CKOUT", "CKDIV8"}));
    EXPECT_EQ(Captions(m328p.groups[1]),
              (QStringList{"BOOTRST", "BOOTSZ0", "BOOTSZ1", "EESAVE", "WDTON", "SPIEN", "DWEN", "RSTDISBL"}));
    EXPECT_EQ(Captions(m328p.groups[3]),
              Plain({3, 4, 5, 6, 7}, {"BODLEVEL0", "BODLEVEL1", "BODLEVEL2", "", "", "", "", ""}));
    EXPECT_EQ(Captions(m328p.groups[2]), Plain({6, 7}, {"LB1", "LB2", "BLB01", "BLB02", "BLB11", "BLB12", "", ""}));
    EXPECT_EQ(m328p.groups[1].toolTips[7],
              "External reset disable. Ticked: 1, unprogrammed. Unticked: 0, programmed.");
    EXPECT_TRUE(m328p.groups[3].toolTips[5].isEmpty()) << "a plain box has no tooltip";

    const fuses::FuseLayout t85 = fuses::LookupFuseLayout(u"ATtiny85", words.findPart(u"ATtiny85"));
    EXPECT_TRUE(t85.groups[0].on && t85.groups[1].on && t85.groups[2].on && t85.groups[3].on);
    EXPECT_EQ(t85.groups[1].captions[7], "RSTDISBL");
    EXPECT_EQ(Captions(t85.groups[3]), Plain({1, 2, 3, 4, 5, 6, 7}, {"SELFPRGEN", "", "", "", "", "", "", ""}));

    // The window's own devices keep their captions; the tooltip names the datasheet's bit.
    const fuses::FuseLayout m8 = fuses::LookupFuseLayout(u"ATmega8", words.findPart(u"ATmega8"));
    EXPECT_EQ(m8.groups[1].captions[6], "WTDON");
    EXPECT_FALSE(m8.groups[3].on);
    EXPECT_TRUE(m8.groups[1].toolTips[6].contains("Datasheet name: WDTON.")) << m8.groups[1].toolTips[6].toStdString();

    // A part with fuses of its own (UPDI, TPI, XMEGA) has none of the four editors' bytes.
    for (const char16_t *part : {u"ATtiny416", u"ATtiny10", u"ATxmega128A1U"}) {
        const fuses::FuseLayout own = fuses::LookupFuseLayout(part, words.findPart(part));
        EXPECT_TRUE(own.inTable && std::ranges::none_of(own.groups, [](const auto &g) { return g.on; }));
    }
    EXPECT_EQ(words.partsWithSignature(u"1e950f"), QStringList{"ATmega328P"});
}

TEST(Installed, WindowListsTooltipsAndSettingsByName)
{
    RecordedInstall install;
    SettingsFile none;
    {
        MainWindow form(install.deps);
        ASSERT_EQ(Ui(form).deviceBox->itemText(26), "ATtiny26");
        EXPECT_EQ(Ui(form).deviceBox->itemText(27), "ATmega2560") << "appended, sorted, design names left out";
        EXPECT_EQ(Ui(form).deviceBox->findText("ATmega8"), 18);
        EXPECT_EQ(Ui(form).programmerBox->itemText(39), "usbasp");
        EXPECT_EQ(Ui(form).programmerBox->itemText(40), "2232hio");
        EXPECT_EQ(Ui(form).programmerBox->itemData(Ui(form).programmerBox->findText("abcmini"), Qt::ToolTipRole).toString(),
                  "The installed avrdude does not know the programmer \"abcmini\".");
        EXPECT_TRUE(Ui(form).programmerBox->itemData(Ui(form).programmerBox->findText("usbtiny"), Qt::ToolTipRole)
                        .toString()
                        .contains("USBtiny"));

        Ui(form).deviceBox->setCurrentIndex(Ui(form).deviceBox->findText("ATmega328P"));
        Ui(form).programmerBox->setCurrentIndex(Ui(form).programmerBox->findText("usbtiny"));
        EXPECT_EQ(Ui(form).commandLine->text(), "avrdude.exe -p m328p -c usbtiny ");
        EXPECT_EQ(Ui(form).byteEditor(High)->bitBox(7)->text(), "RSTDISBL");
        Ui(form).signatureField->setMaskedText("1E950F");
        EXPECT_EQ(Ui(form).signatureField->toolTip(), "1E950F: ATmega328P");
        form.show();
        ASSERT_TRUE(form.close());
    }
    const QString saved = SettingsFile::Read();
    EXPECT_TRUE(saved.contains("DeviceName=ATmega328P")) << saved.toStdString();
    EXPECT_TRUE(saved.contains("ProgrammerName=usbtiny"));
    {
        MainWindow form(install.deps);  // the same entries, found by name
        EXPECT_EQ(Ui(form).deviceBox->currentText(), "ATmega328P");
        EXPECT_EQ(Ui(form).deviceBox->itemIndex(), Ui(form).deviceBox->findText("ATmega328P"));
        EXPECT_EQ(Ui(form).programmerBox->currentText(), "usbtiny");
        EXPECT_EQ(Ui(form).commandLine->text(), "avrdude.exe -p m328p -c usbtiny ");
        Ui(form).deviceBox->setItemIndex(18);  // back to a design entry: the name is emptied
        form.show();
        ASSERT_TRUE(form.close());
    }
    EXPECT_TRUE(SettingsFile::Read().contains("DeviceName=\n")) << SettingsFile::Read().toStdString();

    // Another avrdude without these entries: the saved texts stand as if typed.
    // They stay saved until the user picks something else.
    SettingsFile vanished("[Config]\nDevice=200\nDeviceName=ATmega4242\nProgrammer=41\nProgrammerName=gone\n");
    for (int start = 0; start < 2; ++start) {
        MainWindow form(install.deps);
        EXPECT_EQ(Ui(form).deviceBox->currentText(), "ATmega4242") << "start " << start;
        EXPECT_EQ(Ui(form).programmerBox->currentText(), "gone");
        EXPECT_EQ(Ui(form).commandLine->text(), "avrdude.exe -p  -c gone ");
        form.show();
        ASSERT_TRUE(form.close());
        EXPECT_TRUE(SettingsFile::Read().contains("DeviceName=ATmega4242\n")) << SettingsFile::Read().toStdString();
    }
}

TEST(Installed, APartCodeOrProgrammerIdIsOneWordOrLeftOut)
{
    compose::InstalledAvrdude odd;
    odd.parts = compose::ParseParts(".pt\tEvil\tid\t\"m8 -U lock:w:0x00:m\"\n.pt\tGood\tid\t\"m8.x+_-1\"\n");
    odd.programmers = {{"bad id", "x"}, {"ok_id", "y"}};
    const compose::Vocabulary words(odd);
    EXPECT_EQ(words.findPart(u"Evil"), nullptr);
    EXPECT_EQ(words.partCode(u"Good"), "m8.x+_-1");
    EXPECT_EQ(words.findProgrammer(u"bad id"), nullptr);
    EXPECT_NE(words.findProgrammer(u"ok_id"), nullptr);
}

TEST(Installed, TheRealAvrdudeAndOneThatFails)
{
    QTemporaryDir dir;
    const QString cache = dir.filePath("cache.tsv");
    const compose::InstalledAvrdude real = LoadInstalledAvrdude("/usr/bin/avrdude", cache);
    EXPECT_GT(real.parts.size(), 300u);
    EXPECT_GT(real.programmers.size(), 100u);
    const compose::Vocabulary words(real);
    EXPECT_EQ(words.partCode(u"ATmega328P"), "m328p");
    EXPECT_EQ(words.partCode(u"ATmega644"), "m644");
    EXPECT_TRUE(words.partsWithSignature(u"1E950F").contains("ATmega328P"));
    EXPECT_EQ(fuses::LookupFuseLayout(u"ATmega328P", words.findPart(u"ATmega328P")).groups[0].captions[7], "CKDIV8");
    EXPECT_EQ(fuses::LookupFuseLayout(u"ATmega2560", words.findPart(u"ATmega2560")).groups[3].captions[2], "BODLEVEL2");
    // The second start reads the cache, which holds what avrdude said.
    QFile file(cache);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();
    const compose::Vocabulary cached(LoadInstalledAvrdude("/usr/bin/avrdude", cache));
    EXPECT_EQ(cached.installed().parts.size(), real.parts.size());
    // with each part's and programmer's programming modes
    ASSERT_NE(cached.findPart(u"ATtiny1614"), nullptr);
    EXPECT_EQ(cached.findPart(u"ATtiny1614")->modes, QStringList({"PM_SPM", "PM_UPDI"}));
    ASSERT_NE(cached.findProgrammer(u"serialupdi"), nullptr);
    EXPECT_EQ(cached.findProgrammer(u"serialupdi")->modes, QStringList{"PM_UPDI"});
    // The answers are where they came from: the program, its system-wide file as it says it, and
    // the cache is keyed to every configuration file avrdude reads, so a user's file that appears is
    // asked about afresh.
    EXPECT_EQ(cached.installed().program, "/usr/bin/avrdude");
    EXPECT_EQ(cached.installed().systemConfig, "/etc/avrdude.conf");
    {
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path()));
        const QByteArray before = InstalledCacheKey("/usr/bin/avrdude");
        QFile rc(home.filePath(".avrduderc"));
        ASSERT_TRUE(rc.open(QIODevice::WriteOnly));
        rc.write("# mine\n");
        rc.close();
        EXPECT_NE(InstalledCacheKey("/usr/bin/avrdude"), before);
        qputenv("HOME", oldHome);
    }
    // A cache cut short (its key intact) is not trusted: avrdude is asked afresh.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(whole.left(whole.size() * 2 / 3));
    file.close();
    EXPECT_EQ(LoadInstalledAvrdude("/usr/bin/avrdude", cache).programmers.size(), real.programmers.size());
    // A FIFO in its place is not opened (that would wait for ever) but replaced.
    QFile::remove(cache);
    ASSERT_EQ(::mkfifo(QFile::encodeName(cache).constData(), 0644), 0);
    EXPECT_EQ(LoadInstalledAvrdude("/usr/bin/avrdude", cache).parts.size(), real.parts.size());
    EXPECT_TRUE(QFileInfo(cache).isFile());

    // A tool that hangs is given up after 2 seconds per question, with whatever it started; nothing
    // is cached.
    StandIn hang(QStringLiteral("sleep 30 & echo $! > \"%1/child.pid\"; wait").arg(dir.path()), "hanging-avrdude");
    QElapsedTimer clock;
    clock.start();
    const compose::InstalledAvrdude none = LoadInstalledAvrdude(hang.Path(), dir.filePath("hang.tsv"));
    EXPECT_TRUE(none.parts.empty() && none.programmers.empty());
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_FALSE(QFile::exists(dir.filePath("hang.tsv")));
    QFile child(dir.filePath("child.pid"));
    ASSERT_TRUE(child.open(QIODevice::ReadOnly));
    const qint64 childPid = child.readAll().trimmed().toLongLong();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !ProcessRuns(childPid); }, 1000)) << "the hanging tool's child is gone";
    StandIn garbage("echo nonsense; exit 1", "broken-avrdude");
    EXPECT_TRUE(LoadInstalledAvrdude(garbage.Path(), dir.filePath("g.tsv")).parts.empty());
}
