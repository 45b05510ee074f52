// The output rules against what avrdude really prints: one file per recorded run, grouped by
// avrdude version, so that a new version is a new folder of files.
#include "tests/printing.h"
#include "fuses/byte_commands.h"
#include "runner/verification_watch.h"

#include <QDir>
#include <QFile>
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
        for (qsizetype at = 0; at < text.size(); at += piece)
            watch.See(text.mid(at, piece));
        if (piece > 1)
            EXPECT_EQ(watch.Failed(), failed) << "piece size " << piece;
        failed = watch.Failed();
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
    for (const char *ok : {"flash_write_verify", "fuse_read", "calibration_read", "signature_read", "no_programmer"})
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
