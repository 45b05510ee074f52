#pragma once
// Reads avrdude 7.1's output line by line as it passes, for what a failed run usually means: the
// first error line, the device signature it reported, a signature that belongs to another part, and
// one sentence of advice from a table of its messages. Only a few short lines are kept.
#include <QString>

namespace runner {

class FailureWatch {
public:
    void See(const QString &piece);
    void Finish();  // the last line, when the output does not end in a line break

    // "1E950F" from "device signature = 0x1e950f (probably m328p)"; empty when none was reported.
    QString Signature() const { return signature_; }
    // The part code avrdude guessed ("m328p") when it refused the signature as another part's.
    QString OtherPart() const { return refused_ ? probably_ : QString(); }
    // The first line that reports an error, and its number (from 0); empty and -1 when none did.
    QString FirstError() const { return firstError_; }
    qsizetype FirstErrorLine() const { return firstErrorLine_; }
    // What the failure usually means, in one sentence; empty when no message of the table was seen.
    QString Advice() const { return advice_; }

private:
    void SeeLine(const QString &line);

    QString partial_;
    qsizetype lineNumber_ = 0;
    QString signature_, probably_, firstError_, advice_;
    qsizetype firstErrorLine_ = -1;
    bool refused_ = false;
    int adviceRank_ = 1000;  // the most telling message wins (lower rank)
};

}  // namespace runner
