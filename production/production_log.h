#pragma once
// The production log: one CSV line per board, appended and flushed to the disk before the next
// board, so that a crash or a kill loses no earlier line.
#include <QString>
#include <QStringList>

namespace production {

struct LogEntry {
    QString time;       // ISO 8601, local time with its offset
    QString part;
    QString signature;  // as read from the chip
    QString serial;     // empty without serial numbers
    QString result;     // "ok", "failed", "wrong chip", "stopped"
    QString step;       // the failing step: "signature", "program"; empty when none failed
    QString error;      // avrdude's first error line
    QString station;    // the programmer and port that did it: "-c usbasp -P usb:A1B2"
};

// Appends `entry` to the CSV file at `path` (made with its header line when new) in one write,
// synced, so that lines of boards that end together never mix; false with `error` set when it
// cannot be written. A log begun before stations were kept keeps its seven columns.
bool AppendLog(const QString &path, const LogEntry &entry, QString *error);

// Before anything runs: the log at `path` can be appended to (a regular file, or one that can be
// made there); a FIFO, a device or a folder that is not there is refused, with `error` saying why.
bool CheckLog(const QString &path, QString *error);

}  // namespace production
