#pragma once
// The single-byte read and write commands, and finding a read's value in the tool's output.
#include "compose/form_state.h"

#include <QStringList>
#include <optional>

namespace fuses {

// "avrdude.exe ", device, programmer and port pieces, the operation, "-D ", "-n " when ticked,
// "-q ", the exit modes and the extra options: no flash or EEPROM operation, no other option.
QString BuildReadCommand(const compose::FormState &s, const QString &operation);

// "avrdude.exe ", device, programmer and port pieces, every ticked option, the exit modes and the
// extra options, and a blank when they do not end in one; the caller appends the write operation last.
QString BuildWriteCommand(const compose::FormState &s);

// "-U <memory>:w:0x<value>:m ".
QString WriteOperation(const QString &memory, const QString &value);
// "-U <memory>:r:-:<letter> ".
QString ReadOperation(const QString &memory, QChar letter);

enum class ValueForm {
    Decimal,  // one decimal number (fuse and lock reads, ":d")
    HexList,  // "0x.." numbers separated by commas (calibration and signature reads, ":h")
};

// True when `line` holds a value in the form: a number after any leading white space, or "0x" and a
// hexadecimal digit at its very start.
bool HoldsValue(QStringView line, ValueForm form);

// The line that holds the read's value: the line at `index` (counted from 0) when it holds one;
// otherwise the one line of the output that holds nothing but the value (blanks around it allowed),
// if there is exactly one such line. Nothing when neither is there.
std::optional<QString> FindValueLine(const QStringList &lines, int index, ValueForm form);

// The same search over output as it arrives, whatever its size: only the start of each line is
// kept (a value stands at a line's start), so memory stays bounded.
class ValueLineWatch {
public:
    ValueLineWatch(int index, ValueForm form);
    void See(QStringView text);
    // FindValueLine's answer over everything seen; call once, at the end of the output.
    std::optional<QString> Finish();

private:
    static constexpr qsizetype kKeptLength = 4096;
    void SeeLine();

    int index_;
    ValueForm form_;
    qsizetype lineNumber_ = 0;
    QString partial_;    // the start of the line still arriving
    bool cut_ = false;   // the line is longer than what is kept of it
    std::optional<QString> atIndex_;
    int onlyCount_ = 0;  // lines holding nothing but a value
    QString onlyLine_;
};

}  // namespace fuses
