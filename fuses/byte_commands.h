#pragma once
// The single-byte read and write commands, and finding a read's value in the tool's output.
#include "compose/form_state.h"
#include "compose/vocabulary.h"

#include <QStringList>
#include <optional>

namespace fuses {

// "avrdude.exe ", device, programmer and port pieces, the operation, "-D ", "-n " when ticked,
// "-q ", the exit modes and the extra options: no flash or EEPROM operation, no other option.
QString BuildReadCommand(const compose::FormState &s, const QString &operation,
                         const compose::Vocabulary &words = compose::OwnListsOnly());

// "avrdude.exe ", device, programmer and port pieces, every ticked option, the exit modes and the
// extra options, and a blank when they do not end in one; the caller appends the write operation last.
QString BuildWriteCommand(const compose::FormState &s, const compose::Vocabulary &words = compose::OwnListsOnly());

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

// How much of a line the search is shown: a value stands at a line's start (the output's line
// splitter keeps as much).
inline constexpr qsizetype kKeptLineLength = 4096;

// The same search over output as it arrives, line by line; only the lines' starts are kept.
class ValueLineWatch {
public:
    ValueLineWatch(int index, ValueForm form);
    // One line without its break; `cut`: the line went on past what was kept of it.
    void seeLine(QStringView line, bool cut);
    // FindValueLine's answer over the lines seen so far.
    std::optional<QString> value() const;

private:
    int index_;
    ValueForm form_;
    qsizetype lineNumber_ = 0;
    std::optional<QString> atIndex_;
    int onlyCount_ = 0;  // lines holding nothing but a value
    QString onlyLine_;
};

}  // namespace fuses
