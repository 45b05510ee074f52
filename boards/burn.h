#pragma once
// What "Burn Bootloader" runs for a board, and why it must not run: the two avrdude lines the
// Arduino tools run (erase, unlock and fuses; then the bootloader image and the lock), checked
// before anything runs against the part as the installed avrdude describes it.
#include "boards/boards.h"
#include "compose/form_state.h"
#include "compose/vocabulary.h"

#include <QString>
#include <QStringList>

namespace boards {

struct BurnPlan {
    QString refusal;    // non-empty: nothing may run, and this says why
    QString part;       // the board's part, by avrdude's name (ATmega328P)
    QStringList lines;  // the avrdude command lines, in order: the fuses, then the image and lock
    QStringList captions;  // what each line does ("erase, unlock and fuses")
    // Asked once before the burn when the board's clock needs something outside the chip
    // ("Arduino UNO: 16 MHz crystal ..."); empty when it does not. Agreed to, it covers the burn.
    QString clockQuestion;
};

// `target`: the programmer, port and exit modes to burn with (its device is the board's part).
BurnPlan PlanBurn(const Board &board, const compose::FormState &target, const compose::Vocabulary &words);

}  // namespace boards
