// The output rules against what avrdude really prints: one file per recorded run, grouped by
// avrdude version, so that a new version is a new folder of files.
#include "tests/printing.h"
#include "fuses/byte_commands.h"
#include "runner/failure_watch.h"
#include "runner/verification_watch.h"

#include <QDir>
#include <QFile>

#include <memory>
#include <gtest/gtest.h>

namespace {

QString Transcript(const QString &version, const QString &name)
{
    QFile file(QStringLiteral(FUSEWERK_TRANSCRIPTS "/%1/%2.txt").arg(version, name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    return QString::fromUtf8(file.readAll());
}

// The watch sees the output in pieces of every size from 1 to 64 bytes: a report cut anywhere is found.
bool WatchFails(const QString &text)
{
    bool failed = false;
    for (int piece = 1; piece <= 64; ++piece) {
        runner::VerificationWatch watch;
        runner::LineSplitter lines;
        for (qsizetype at = 0; at < text.size(); at += piece)
            lines.see(QStringView(text).mid(at, piece), watch);
        lines.finish(watch);
        if (piece > 1)
            EXPECT_EQ(watch.failed(), failed) << "piece size " << piece;
        failed = watch.failed();
    }
    return failed;
}

struct ValueCase {
    const char *name;
    fuses::ValueForm form;
    const char *value;  // nullptr: no value line
};

}  // namespace

TEST(Transcripts, VerificationWatchAndValueLinesOfAvrdude71)
{
    const QString version = QStringLiteral("avrdude-7.1");
    EXPECT_TRUE(WatchFails(Transcript(version, "failed_verify")));
    for (const char *ok : {"flash_write_verify", "fuse_read", "calibration_read", "signature_read", "no_programmer",
                           "burn_lock_unused_bits"})
        EXPECT_FALSE(WatchFails(Transcript(version, ok))) << ok;

    const ValueCase cases[] = {
        {"fuse_read", fuses::ValueForm::Decimal, "225"},
        {"calibration_read", fuses::ValueForm::HexList, "0xa5,0xa3,0xa4,0xa5"},
        {"signature_read", fuses::ValueForm::HexList, "0x1e,0x93,0x7"},
        {"no_programmer", fuses::ValueForm::Decimal, nullptr},
        {"failed_verify", fuses::ValueForm::Decimal, nullptr},
    };
    for (const ValueCase &c : cases) {
        const QStringList lines = Transcript(version, c.name).split(QLatin1Char('\n'));
        // The value stands on line 5 with this avrdude; the default line 0 finds it by the search.
        for (int index : {0, 5}) {
            const auto line = fuses::FindValueLine(lines, index, c.form);
            if (!c.value)
                EXPECT_FALSE(line) << c.name << " at " << index;
            else
                EXPECT_EQ(line.value_or("(none)"), QString::fromLatin1(c.value)) << c.name << " at " << index;
        }
    }
}

// What each recorded failure of avrdude 7.1 usually means, and what its output says of the chip.
TEST(Transcripts, FailuresInWordsOfAvrdude71)
{
    const struct Row {
        const char *file, *advice, *firstError, *signature, *otherPart;
    } rows[] = {
        {"not_in_sync.txt", "The programmer does not answer: check the port, the programmer type (-c), the baud rate (-b)",
         "avrdude error: programmer is not responding", "", ""},
        {"no_programmer.txt", "The port does not exist", "", "", ""},
        {"signature_000000.txt", "The chip does not answer: check the wiring, the power and the target's clock",
         "avrdude error: Yikes!  Invalid device signature.", "000000", ""},
        {"signature_ffffff.txt", "The chip does not answer: check the wiring, the power and the target's clock",
         "avrdude error: Yikes!  Invalid device signature.", "FFFFFF", ""},
        {"wrong_part.txt", "its signature belongs to another part", "avrdude error: expected signature for ATmega8 is 1E 93 07",
         "1E950F", "m328p"},
        {"out_of_range.txt", "The image is larger than the memory: address 0x2024 lies past its end.", "", "1E9307", ""},
        {"failed_verify.txt", "first at address 0x0010 (chip 0xef, file 0x10)", "", "1E9307", ""},
        {"no_input_file.txt", "The input file cannot be read: /tmp/no-such-dir/blink.hex", "", "", ""},
        {"fuse_read.txt", "", "", "1E9307", ""},
        // " ***failed;" and a lock's unused bits read back as 1: avrdude takes the lock as verified.
        {"burn_lock_unused_bits.txt", "", "", "1E9307", ""},
    };
    for (const Row &r : rows) {
        runner::FailureWatch watch;
        const QString text = Transcript("avrdude-7.1", QString::fromLatin1(r.file).chopped(4));
        runner::LineSplitter lines;
        for (qsizetype i = 0; i < text.size(); i += 7)  // in pieces, as a pipe delivers them
            lines.see(QStringView(text).mid(i, 7), watch);
        lines.finish(watch);
        EXPECT_TRUE(watch.advice().contains(QLatin1String(r.advice)) && (*r.advice || watch.advice().isEmpty()))
            << r.file << ": " << watch.advice().toStdString();
        if (*r.firstError)
            EXPECT_EQ(watch.firstError(), r.firstError) << r.file;
        EXPECT_EQ(watch.signature(), r.signature) << r.file;
        EXPECT_EQ(watch.otherPart(), r.otherPart) << r.file;
    }
}

// Lines that only look like a signature or an error: four bytes are no signature, a file named
// "my error.hex" is no error line, and two signature lines that differ are both kept in view.
TEST(Transcripts, WhatIsNoSignatureNorError)
{
    const auto watched = [](const char *text) {
        auto watch = std::make_unique<runner::FailureWatch>();
        runner::LineSplitter lines;
        lines.see(QString::fromLatin1(text), *watch);
        lines.finish(*watch);
        return watch;
    };
    const auto fourBytes = watched("avrdude: device signature = 0x1e930b0a\n");
    EXPECT_EQ(fourBytes->signature(), "");
    const auto named = watched("avrdude: reading input file my error.hex for flash\n"
                               "avrdude error: address 0x2024 out of range at line 1 of my error.hex\n");
    EXPECT_EQ(named->firstError(), "avrdude error: address 0x2024 out of range at line 1 of my error.hex");
    EXPECT_EQ(named->firstErrorLine(), 1);
    const auto loose = watched("avrdude: device signature = 0x1e9307 (probably m8)\n"
                               "avrdude: device signature = 0x1e930b (probably t85)\n");
    EXPECT_EQ(loose->signature(), "1E930B");
    EXPECT_EQ(loose->differingSignature(), "1E9307");
}
