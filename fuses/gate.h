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

struct GateVerdict {
    compose::AvrdudeArguments args;
    QString refusal;        // non-empty: nothing may run, and this says why
    QStringList questions;  // each must be answered "Write anyway" before the line runs
    // What the line's files gave when they were judged: the same files read again after the
    // answers must give the same, or what runs is not what was judged.
    std::vector<images::MemoryFile> evidence;
};

// `args`: the split line, the program first.
// `words`: the installed avrdude's own data, by which avrdude will read the line.
// `clockConfirmed`: the clock setting a line writes was agreed to before (a board's burn).
GateVerdict JudgeLine(const QStringList &args, const LastReads &lastReads, const compose::Vocabulary &words,
                      bool clockConfirmed = false);

// The part avrdude will take for the line's -p: the installed avrdude's, found as avrdude finds it;
// without that data, one of the window's own devices by its code. Null when neither knows it.
std::optional<compose::InstalledPart> LinePart(const compose::AvrdudeArguments &args, const compose::Vocabulary &words);

// The display name the fuse layouts and device data know the part by ("ATmega8").
QString DeviceName(const compose::InstalledPart &part, const compose::Vocabulary &words);

}  // namespace fuses
