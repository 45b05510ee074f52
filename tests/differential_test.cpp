// The gate against the real avrdude: lines drawn at random from a grammar of avrdude's options,
// memories, values and file formats go through the session's gate; each line the gate lets run goes
// to the real avrdude and the emulated ATmega8, and no fuse or lock byte may change to a value the
// gate did not judge. The corpus (tests/differential/corpus.txt) holds past finds and the forms
// that once got through, and runs first every time.
//
// FUSEWERK_DIFF_SEED (default 1) and FUSEWERK_DIFF_LINES (default 240) choose the lines; a failure
// names the seed and the line.
#include "compose/quoting.h"
#include "installed/installed_avrdude.h"
#include "session/chip_session.h"
#include "tests/helpers.h"
#include "tests/lab/emulator.h"

#include <QDir>
#include <QTest>
#include <gtest/gtest.h>

#include <random>

namespace {

// The ATmega8's bytes as the emulator keeps them.
struct Chip {
    int lfuse = -1, hfuse = -1, lock = -1;
    bool operator==(const Chip &) const = default;
};

Chip Read(const Emulator &emulator)
{
    const QJsonObject chip = emulator.Chip();
    return {chip["lfuse"].toInt(), chip["hfuse"].toInt(), chip["lock"].toInt()};
}

void Write(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray IntelHexRecord(int address, const QByteArray &data)
{
    QByteArray record;
    record += char(data.size());
    record += char(address >> 8);
    record += char(address & 0xFF);
    record += char(0);
    record += data;
    int sum = 0;
    for (char c : record)
        sum += static_cast<quint8>(c);
    record += char(-sum & 0xFF);
    return ":" + record.toHex().toUpper() + "\n";
}

QByteArray SRecord(int address, const QByteArray &data)
{
    QByteArray record;
    record += char(data.size() + 3);
    record += char(address >> 8);
    record += char(address & 0xFF);
    record += data;
    int sum = 0;
    for (char c : record)
        sum += static_cast<quint8>(c);
    record += char(~sum & 0xFF);
    return "S1" + record.toHex().toUpper() + "\n";
}

// One random avrdude line for the emulated ATmega8 at `port`, its files made in `dir`.
class Grammar {
public:
    Grammar(unsigned seed, QString dir, QString port) : rng_(seed), dir_(std::move(dir)), port_(std::move(port)) {}

    QStringList Line(int number)
    {
        number_ = number;
        QStringList words{QStringLiteral("avrdude.exe")};
        QList<QStringList> pieces;
        pieces << Option(QStringLiteral("-p"), Chance(0.85) ? OneOf({"m8", "M8", "atmega8", "ATmega8", "m8a"}) : OneOf({"m16", "t85"}));
        pieces << Option(QStringLiteral("-c"), QStringLiteral("stk500v1")) << Option(QStringLiteral("-P"), port_);
        const int updates = 1 + Pick(3);
        for (int i = 0; i < updates; ++i)
            pieces << Update();
        const char *flags[] = {"-q", "-v", "-n", "-V", "-D", "-e", "-F", "-u", "-s", "-qq", "-O", "-t", "-vv"};
        for (int i = Pick(3); i > 0; --i)
            pieces << QStringList{QString::fromLatin1(flags[Pick(std::size(flags))])};
        if (Chance(0.08))
            pieces << Option(QStringLiteral("-l"), File(QStringLiteral("log"), Chance(0.5) ? QByteArray(1, char(0xD9)) : QByteArray()));
        if (Chance(0.08))
            pieces << Option(QStringLiteral("-C"), u'+' + QStringLiteral(FUSEWERK_DIFF_DIR "/") +
                                                       OneOf({"lfuse_as_hfuse.conf", "extra_programmer.conf"}));
        if (Chance(0.05))
            pieces << Option(QStringLiteral("-b"), OneOf({"19200", "115200"}));
        if (Chance(0.05))
            pieces << Option(OneOf({"-E", "-x", "-i", "-B"}), OneOf({"noreset", "reset", "5", "1"}));
        if (Chance(0.06))
            pieces << QStringList{OneOf({"stray", "--", "-", "x.hex"})};
        std::shuffle(pieces.begin() + 3, pieces.end(), rng_);  // the part, programmer and port first mostly
        if (Chance(0.3))
            std::shuffle(pieces.begin(), pieces.end(), rng_);
        for (const QStringList &piece : pieces)
            words += piece;
        return words;
    }

private:
    int Pick(std::size_t n) { return static_cast<int>(std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_)); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(rng_); }
    QString OneOf(std::initializer_list<const char *> words) { return QString::fromLatin1(words.begin()[Pick(words.size())]); }

    // An option and its argument, attached or in the next word, sometimes grouped after a flag.
    QStringList Option(const QString &option, const QString &value)
    {
        switch (Pick(4)) {
        case 0:
            return {option + value};
        case 1:
            return {OneOf({"-q", "-V", "-u"}) + option.mid(1), value};
        default:
            return {option, value};
        }
    }

    // Mostly values a user writes to that memory (the ones the guard lets pass among them, so that
    // lines run and change the chip), sometimes any byte at all.
    unsigned Byte(const QString &memory = QString())
    {
        static const unsigned low[] = {0xE1, 0xE2, 0xE3, 0xE4, 0xC4, 0xD4, 0xA4, 0xE0, 0xFF, 0xEF};
        static const unsigned high[] = {0xD9, 0xD8, 0xDF, 0xC9, 0xCA, 0xD1, 0xD0, 0x5F, 0x59, 0x99, 0xFF};
        static const unsigned lock[] = {0xFF, 0xCF, 0x0F, 0x3F, 0xEF, 0xFC, 0xFE, 0x3E};
        if (Chance(0.85)) {
            if (memory.startsWith(QLatin1String("lf")))
                return low[Pick(std::size(low))];
            if (memory.startsWith(QLatin1String("h")))
                return high[Pick(std::size(high))];
            if (memory.startsWith(QLatin1String("lo")))
                return lock[Pick(std::size(lock))];
        }
        return static_cast<unsigned>(Pick(256));
    }

    // A byte as avrdude's immediate mode reads it, in one of its many forms.
    QString Immediate(unsigned v)
    {
        switch (Pick(9)) {
        case 0:
            return QStringLiteral("0x%1").arg(v, 2, 16, QLatin1Char('0')).toUpper().replace(QStringLiteral("0X"), QStringLiteral("0x"));
        case 1:
            return QString::number(v);
        case 2:
            return QStringLiteral("0%1").arg(v, 0, 8);
        case 3:
            return QStringLiteral("0b%1").arg(v, 8, 2, QLatin1Char('0'));
        case 4:
            return QStringLiteral("-%1").arg(256 - v);
        case 5:
            return QStringLiteral("0x1%1").arg(v, 2, 16, QLatin1Char('0'));  // past a byte: its lowest
        case 6:
            return QStringLiteral("0x%1,0x%2").arg(v, 0, 16).arg(Byte(), 0, 16);  // more than the memory takes
        case 7:
            return QStringLiteral("0x%1 ").arg(v, 0, 16);
        default:
            return QStringLiteral("0x%1").arg(v, 0, 16);
        }
    }

    // A file of the line's own, its name now and then with blanks or a colon in it.
    QString File(const QString &stem, const QByteArray &content)
    {
        const QString folder = dir_ + QStringLiteral("/%1%2").arg(number_).arg(Chance(0.15) ? QStringLiteral(" a:b") : QString());
        QDir().mkpath(folder);
        const QString path = folder + u'/' + stem + QString::number(files_++);
        if (!content.isNull())
            Write(path, content);
        return path;
    }

    QStringList Update()
    {
        const QString memory = OneOf({"lfuse", "hfuse", "lock", "lf", "hf", "lo", "lfuse", "hfuse", "lock", "l", "efuse",
                                      "fuse", "eeprom", "ee", "flash", "fl", "calibration", "signature", "", "LFUSE",
                                      "hfus", "lockbits", "lfuse\t"});
        const QChar op = Chance(0.8) ? u'w' : Chance(0.5) ? u'r' : u'v';
        QString value, format;
        const unsigned v = Byte(memory);
        if (op != u'w') {
            value = Chance(0.2) ? QStringLiteral("-") : File(QStringLiteral("out"), QByteArray());
            format = OneOf({"i", "r", "h", "d", "s", ""});
        } else if (memory.startsWith(u'e') || memory.startsWith(u'f') || memory.isEmpty()) {
            QByteArray data;
            for (int i = Pick(40) + 1; i > 0; --i)
                data += char(Pick(256));
            const bool hex = Chance(0.6);
            value = File(QStringLiteral("image"), hex ? IntelHexRecord(0, data) + ":00000001FF\n" : data);
            format = hex ? OneOf({"i", "a", ""}) : OneOf({"r", "a"});
        } else {
            // The forms avrdude reads a fuse or lock value in, each with its own rules to get right.
            const unsigned w = Byte(memory);
            const QByteArray end = ":00000001FF\n";
            switch (Pick(12)) {
            case 0:
                value = File(QStringLiteral("raw"), QByteArray(1, char(v)));
                format = OneOf({"r", "a", ""});
                break;
            case 1:
                value = File(QStringLiteral("raw"), QByteArray(1, char(v)) + char(w));  // past a one-byte memory
                format = OneOf({"r", "a"});
                break;
            case 2:
                value = File(QStringLiteral("hex"), IntelHexRecord(0, QByteArray(1, char(v))) + end);
                format = OneOf({"i", "a"});
                break;
            case 3:  // two records for one address: the last wins
                value = File(QStringLiteral("hex"), IntelHexRecord(0, QByteArray(1, char(v))) + IntelHexRecord(0, QByteArray(1, char(w))) + end);
                format = OneOf({"i", "a"});
                break;
            case 4:  // a line that is no record, and no end record
                value = File(QStringLiteral("hex"), "; made by hand\n" + IntelHexRecord(0, QByteArray(1, char(v))));
                format = OneOf({"i", "a"});
                break;
            case 5:
                value = File(QStringLiteral("srec"), SRecord(0, QByteArray(1, char(v))) + (Chance(0.5) ? SRecord(0, QByteArray(1, char(w))) : QByteArray()));
                format = OneOf({"s", "a"});
                break;
            case 6:
                value = QStringLiteral(FUSEWERK_ELF_DIR "/") + OneOf({"fuses_only_m8.elf", "whole_m8.elf", "lockout_m8.elf", "lockmode2_m8.elf"});
                format = OneOf({"e", "a"});
                break;
            default:
                value = Immediate(v);
                format = QStringLiteral("m");
            }
        }
        if (memory.isEmpty() && op == u'w' && Chance(0.5))
            return {QStringLiteral("-U"), value};  // a file alone: the flash, its format detected
        const QString argument = (memory.isEmpty() ? QStringLiteral("flash") : memory) + u':' + op + u':' + value +
                                 (format.isEmpty() ? QString() : u':' + format);
        return Option(QStringLiteral("-U"), argument);
    }

    std::mt19937 rng_;
    QString dir_, port_;
    int number_ = 0, files_ = 0;
};

QString Joined(const QStringList &words)
{
    QStringList quoted;
    for (const QString &word : words)
        quoted << compose::QuoteWord(word);
    return quoted.join(u' ');
}

struct Tally {
    int lines = 0, ran = 0, asked = 0, refused = 0, changed = 0;
};

// Runs one line through the session; a failure when a fuse or lock byte changed to a value the gate
// did not judge. `posix`: POSIXLY_CORRECT in the user's environment.
void Try(session::ChipSession &chip, const Emulator &emulator, const QString &line, bool posix, const QString &where,
         Tally &tally)
{
    if (posix)
        qputenv("POSIXLY_CORRECT", "1");
    const Chip before = Read(emulator);
    int asked = 0, told = 0;
    QString output, first;
    QObject scope;
    QObject::connect(&chip, &session::ChipSession::question, &scope, [&](const QString &text, bool *) {
        if (!asked++)
            first = text.left(160);
    });
    QObject::connect(&chip, &session::ChipSession::told, &scope, [&](session::Notice, const QString &) { ++told; });
    QObject::connect(&chip, &session::ChipSession::output, &scope, [&](const QString &text) { output += text.left(20000); });
    const bool started = chip.execute(line);
    if (started)
        EXPECT_TRUE(QTest::qWaitFor([&] { return !chip.running(); }, 60000)) << where.toStdString();
    qunsetenv("POSIXLY_CORRECT");
    ++tally.lines;
    if (qEnvironmentVariableIsSet("FUSEWERK_DIFF_VERBOSE"))
        std::printf("%s\n  -> %s\n", qPrintable(where), started ? "ran" : asked ? qPrintable("asked: " + first) : "refused");
    tally.asked += asked > 0;
    tally.refused += !started && asked == 0;
    if (!started)
        return;
    ++tally.ran;
    const Chip after = Read(emulator);
    if (after == before)
        return;
    ++tally.changed;
    const auto judged = [&](const char *memory, int value, bool lock) {
        for (const fuses::JudgedByte &b : chip.judgedBytes())
            if (b.memory == QLatin1String(memory) && (lock ? int(0xC0 | (b.value & 0x3F)) : int(b.value)) == value)
                return true;
        return false;
    };
    QStringList said;
    for (const fuses::JudgedByte &b : chip.judgedBytes())
        said << QStringLiteral("%1=%2").arg(b.memory).arg(b.value, 2, 16, QLatin1Char('0'));
    const std::string context = where.toStdString() + "\n  judged: " + said.join(' ').toStdString() + "\n  avrdude said:\n" +
                                output.toStdString();
    if (after.lfuse != before.lfuse)
        EXPECT_TRUE(judged("lfuse", after.lfuse, false)) << "lfuse became " << std::hex << after.lfuse << ": " << context;
    if (after.hfuse != before.hfuse)
        EXPECT_TRUE(judged("hfuse", after.hfuse, false)) << "hfuse became " << std::hex << after.hfuse << ": " << context;
    // A chip erase leaves the lock bits unprogrammed (FF): the one change no write needs to be judged for.
    if (after.lock != before.lock && after.lock != 0xFF)
        EXPECT_TRUE(judged("lock", after.lock, true)) << "lock became " << std::hex << after.lock << ": " << context;
}

}  // namespace

TEST(Differential, NoFuseOrLockByteChangesToAValueTheGateDidNotJudge)
{
    Emulator emulator;
    ASSERT_FALSE(emulator.Port().isEmpty());
    QTemporaryDir dir;
    session::ChipSession chip{compose::Vocabulary(AskInstalledAvrdude())};
    Tally tally;

    // The corpus first: each line with PORT, DIR and CONF in place.
    QFile corpus(QStringLiteral(FUSEWERK_DIFF_DIR "/corpus.txt"));
    ASSERT_TRUE(corpus.open(QIODevice::ReadOnly));
    int fixed = 0;
    for (const QByteArray &raw : corpus.readAll().split('\n')) {
        QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const bool posix = line.startsWith(QLatin1String("POSIXLY_CORRECT "));
        if (posix)
            line = line.mid(16);
        line.replace(QLatin1String("PORT"), emulator.Port()).replace(QLatin1String("DIR"), dir.path())
            .replace(QLatin1String("CONF"), QStringLiteral(FUSEWERK_DIFF_DIR));
        Write(dir.filePath("hf.bin"), QByteArray(1, char(0xD9)));
        Write(dir.filePath("hf.hex"), IntelHexRecord(0, QByteArray(1, char(0xD9))) + ":00000001FF\n");
        Try(chip, emulator, line, posix, QStringLiteral("corpus: ") + line, tally);
        ++fixed;
    }
    EXPECT_GT(fixed, 5);

    const unsigned seed = qEnvironmentVariableIsSet("FUSEWERK_DIFF_SEED") ? qEnvironmentVariableIntValue("FUSEWERK_DIFF_SEED") : 1;
    const int count = qEnvironmentVariableIsSet("FUSEWERK_DIFF_LINES") ? qEnvironmentVariableIntValue("FUSEWERK_DIFF_LINES") : 240;
    Grammar grammar(seed, dir.path(), emulator.Port());
    std::mt19937 coin(seed);
    for (int i = 0; i < count; ++i) {
        const QString line = Joined(grammar.Line(i));
        const bool posix = std::bernoulli_distribution(0.2)(coin);
        Try(chip, emulator, line, posix,
            QStringLiteral("seed %1, line %2%3: %4").arg(seed).arg(i).arg(posix ? QStringLiteral(" (POSIXLY_CORRECT)") : QString(), line),
            tally);
    }
    std::printf("%d lines: %d ran (%d changed a fuse or lock), %d asked, %d refused\n", tally.lines, tally.ran, tally.changed,
                tally.asked, tally.refused);
    EXPECT_GT(tally.ran, count / 5) << "the grammar should give lines the gate lets run";
    EXPECT_GT(tally.changed, count / 20) << "and lines that write";
}
