#pragma once
// What "Burn Bootloader" runs for a board with a choice of its menus' options, and why it must not
// run: the core's own recipe (platform.txt's tools.<bootloader.tool>.erase.pattern, then
// .bootloader.pattern) expanded and split as the Arduino IDE does it, with the installed avrdude in
// its place; for a core without one, the two lines the Arduino tools have always run (erase, unlock
// and fuses; then the image and the lock). Checked before anything runs against the part as the
// installed avrdude describes it.
#include "boards/boards.h"
#include "compose/form_state.h"
#include "compose/vocabulary.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace boards {

struct BurnPlan {
    QString refusal;    // non-empty: nothing may run, and this says why
    QString part;       // the board's part, by avrdude's name (ATmega328P), or its code when only the core knows it
    QString board;      // the board with its options, as the user is told ("ATmega328 (Internal 8 MHz, ...)")
    QStringList lines;  // the avrdude command lines, in order: the fuses, then the image and lock
    std::vector<QStringList> words;  // each line's words, as its splitter gives them back
    QStringList captions;  // what each line does ("erase and fuses")
    // Asked once before the burn when the board's clock needs something outside the chip
    // ("Arduino UNO: 16 MHz crystal ..."); empty when it does not. Agreed to, it covers the burn.
    QString clockQuestion;
    bool recipe = false;  // the lines are the core's own recipe
};

// `target`: the programmer, port, exit modes and verbosity to burn with (its device is the board's part).
BurnPlan PlanBurn(const Board &board, const Options &options, const compose::FormState &target,
                  const compose::Vocabulary &words);

// A value a core gives for a fuse or the lock, as avrdude takes it (0x.., 0b.., octal, decimal);
// nothing when it is not one byte.
std::optional<unsigned> BoardByte(const QString &text);

// What a burn's lines (their words) write to each fuse and lock memory, by the names the lines give
// them (lfuse, fuse5, lock), from their immediate values; the last write of a memory wins.
QHash<QString, QByteArray> BurnValues(const std::vector<QStringList> &lines);

}  // namespace boards
