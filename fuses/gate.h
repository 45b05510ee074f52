#pragma once
// The one judgement every run passes before it starts, whichever button started it. The line that
// will run is read as avrdude 7.1 reads it (its options by getopt, its part and memories through the
// installed avrdude's own part data, its files by avrdude's own readers), and the bytes avrdude
// would write are judged: fuse and lock writes by the guard, images by whether they parse and fit.
#include "compose/avrdude_args.h"
#include "compose/installed.h"
#include "compose/vocabulary.h"
#include "fuses/fuse_bytes.h"
#include "images/memory_file.h"

#include <QHash>
#include <QStringList>
#include <optional>
#include <vector>

namespace fuses {

// A fuse or lock value as last read from the chip, and the part (avrdude's name for it) the read
// was for.
struct LastRead {
    std::optional<unsigned> value;
    QString part;
};
// By avrdude's name of the memory read: lfuse, hfuse, efuse, lock for the byte editors' bytes,
// fuse5, fuse, lockbits ... for a part's own fuses.
using LastReads = QHash<QString, LastRead>;

// A file a -U write reads, as it was judged.
struct JudgedFile {
    std::size_t update = 0;     // the operation's place in the line's updates
    images::MemoryFile file;    // what was read, and from it judged (its `source`: the file's bytes)
    bool writtenByRun = false;  // the line itself writes the file before this operation reads it
};

// A value judged for a one-byte fuse or lock memory (avrdude's name for it).
struct JudgedByte {
    QString memory;
    unsigned value = 0;
    bool operator==(const JudgedByte &) const = default;
};

struct GateVerdict {
    compose::AvrdudeArguments args;
    QString refusal;        // non-empty: nothing may run, and this says why
    QStringList questions;  // each must be answered "Write anyway" before the line runs
    std::vector<JudgedFile> files;  // every file a write reads, in the line's order
    std::vector<JudgedByte> bytes;  // every fuse and lock byte the line would write, as judged
};

// What a line is read with beyond its own words.
struct LineContext {
    // The configuration files the run reads are known, and `words` is their part data. Without that
    // (no avrdude to ask), a line with -C that writes is a question.
    bool configKnown = false;
    QString configProblem;        // avrdude gave no part data with the line's files: why
    QStringList userFiles;        // the files beyond avrdude's own system-wide file
    // avrdude's part data from its own file alone: a fuse or lock memory the user's files define
    // otherwise is a question. Null when not known.
    const compose::Vocabulary *baseline = nullptr;
    bool clockConfirmed = false;  // the clock setting a line writes was agreed to before (a board's burn)
};

// `args`: the split line, the program first.
// `words`: avrdude's part data as the run will read it.
GateVerdict JudgeLine(const QStringList &args, const LastReads &lastReads, const compose::Vocabulary &words,
                      const LineContext &context);
GateVerdict JudgeLine(const QStringList &args, const LastReads &lastReads, const compose::Vocabulary &words,
                      bool clockConfirmed = false);

// The part avrdude will take for the line's -p: the installed avrdude's, found as avrdude finds it;
// without that data, one of the window's own devices by its code. Null when neither knows it.
std::optional<compose::InstalledPart> LinePart(const compose::AvrdudeArguments &args, const compose::Vocabulary &words);

// The display name the fuse layouts and device data know the part by ("ATmega8").
QString DeviceName(const compose::InstalledPart &part, const compose::Vocabulary &words);

}  // namespace fuses
