#pragma once
// Reads avrdude 7.1's output line by line as it passes, for what a failed run usually means: the
// first error line, the device signature it reported, a signature that belongs to another part, and
// one sentence of advice from a table of its messages. Only a few short lines are kept.
#include "runner/line_splitter.h"

#include <QString>

namespace runner {

class FailureWatch : public LineWatch {
public:
    void seeLine(QStringView line, bool cut) override;
    QList<QLatin1StringView> keys() const override;
    void skipLine() override { ++lineNumber_; }

    // "1E950F" from "device signature = 0x1e950f (probably m328p)"; empty when none was reported.
    QString signature() const { return signature_; }
    // An earlier signature line that gave another signature (a loose contact); empty when all agreed.
    QString differingSignature() const { return differing_; }
    // The part code avrdude guessed ("m328p") when it refused the signature as another part's.
    // avrdude's "(probably .xmega)" names a family of parts, not one.
    QString otherPart() const { return refused_ && !probably_.startsWith(u'.') ? probably_ : QString(); }
    // The first line that reports an error, and its number (from 0); empty and -1 when none did.
    QString firstError() const { return firstError_; }
    qsizetype firstErrorLine() const { return firstErrorLine_; }
    // What the failure usually means, in one sentence; empty when no message of the table was seen.
    QString advice() const { return advice_; }

private:
    qsizetype lineNumber_ = 0;
    QString signature_, probably_, firstError_, advice_, differing_;
    qsizetype firstErrorLine_ = -1;
    bool refused_ = false;
    int adviceRank_ = 1000;  // the most telling message wins (lower rank)
};

}  // namespace runner
