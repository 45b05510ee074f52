#pragma once
// An avrdude 7.1 command line's arguments read as avrdude reads them: getopt with avrdude's own
// option string (grouped flags, an option's argument attached or in the next word, "--", the words
// that are no options moved aside), the last -p and -c winning, each -U split as avrdude splits it.
#include <QString>
#include <QStringList>
#include <vector>

namespace compose {

// One -U operation: memory:op:file[:format], or a bare file (a write of the default memory).
struct UpdateOperation {
    QString argument;  // the -U argument as given
    QString memory;  // as typed (avrdude matches it to the part's memories); empty: the default, flash
    QChar op;        // r, w or v
    QString file;    // a file name, or the value itself for format m
    QChar format;    // a, i, s, r, e, m, b, d, h, o
    QString error;   // avrdude refuses the operation (and so the whole line): why
    // Where the argument stands in the split line: the word, where in it the argument starts
    // (after "-U" in the same word), and where in the argument the file starts.
    qsizetype word = -1;
    qsizetype at = 0;
    qsizetype fileAt = 0;
};

struct AvrdudeArguments {
    QString part;        // the last -p; empty without one
    bool hasPart = false;
    QString programmer;  // the last -c
    bool hasProgrammer = false;
    QStringList configs;  // every -C
    bool erase = false;      // -e
    bool noWrite = false;    // -n
    bool calibrate = false;  // -O: writes the oscillator calibration
    bool overrideSignature = false;  // -F: avrdude goes on whatever chip answers
    QString logFile;   // the last -l: avrdude writes its messages there, from its start
    bool hasLog = false;
    std::vector<UpdateOperation> updates;
    QStringList problems;  // what avrdude does not take: it prints its usage and runs nothing

    // The words of the line that change the chip: every -U write, -e and -O.
    QStringList Writes() const;
};

// `args`: the split line, the program first.
AvrdudeArguments ParseAvrdudeArguments(const QStringList &args);

// One -U argument as avrdude 7.1's parse_op splits it.
UpdateOperation ParseUpdate(const QString &argument);

}  // namespace compose
