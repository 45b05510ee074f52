#pragma once
// What a command line will do to the chip, read from its arguments as avrdude reads them: the part
// (its last -p), every write of a fuse or lock byte with its value, and every flash or EEPROM image
// it writes, so that each run can be judged before it starts, whichever button started it.
#include "fuses/fuse_bytes.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace fuses {

struct ByteWrite {
    QString memory;                  // lfuse, hfuse, efuse, lock, fuse0 ...
    std::optional<FuseByte> byte;    // the byte editor's byte; none for fuseN
    std::optional<unsigned> value;   // none when it cannot be read
    QString why;                     // why not, for the user
};

struct ImageWrite {
    QString memory;  // flash or eeprom
    QString file;
    QChar format;    // i, s, r, e, a (detected as avrdude detects it)
};

struct LineOperations {
    QString part;  // the last -p's code; empty without one
    std::vector<ByteWrite> byteWrites;
    std::vector<ImageWrite> imageWrites;
};

// `args`: the split line, the program first.
LineOperations FindOperations(const QStringList &args);

// An immediate value as avrdude reads it (decimal, 0x hex, 0b binary, leading-0 octal); the first of
// several. Nothing for text that is no number or more than a byte.
std::optional<unsigned> ImmediateByte(QStringView text);

// The first byte of a file in raw binary (r) or Intel hex (i) format; nothing, and `why`, otherwise.
std::optional<unsigned> ByteFromFile(const QString &file, QChar format, QString *why);

// How far an image reaches: its highest address, or why it cannot be read (a parse error names the
// line). `format` a is detected as avrdude detects it: ELF, Intel hex, Motorola S-record, else raw.
struct ImageExtent {
    qint64 highest = -1;  // -1: no data at all
    QString error;
};
ImageExtent ReadImageExtent(const QString &file, QChar format, const QString &memory);

}  // namespace fuses
