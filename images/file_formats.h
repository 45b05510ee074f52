#pragma once
// The pieces of avrdude 7.1's file readers that the formats share: opening only regular files, its
// line reading (fgets into a 256-byte buffer), C's strtoul, and one reader per file format.
#include "images/memory_file.h"

#include <QFile>
#include <memory>
#include <optional>
#include <string_view>

namespace images::detail {

// A regular file opened for reading without ever waiting (a FIFO or device is refused, not opened
// for blocking reads); null, and `error`, otherwise.
std::unique_ptr<QFile> OpenRegular(const QString &path, QString *error);

// C's strtoul on `text` (leading white space, a sign, base 0's prefixes, wrap-around and
// saturation as glibc does); `end` is where it stopped, 0 when it read no digit.
unsigned long long Strtoul(std::string_view text, int base, std::size_t *end);

// The lines as fgets(buffer, 256, file) returns them, at most 255 characters each, cut at the first
// NUL as strlen would and without their line break.
std::vector<std::string_view> FgetsLines(std::string_view text);

// Each fills `out` (its bytes and given flags sized to the memory) and sets count or error.
void ReadIntelHex(const QString &name, std::string_view text, MemoryFile &out);
void ReadSRecords(const QString &name, std::string_view text, MemoryFile &out);
void ReadElf(const QString &name, const QByteArray &file, const Memory &memory, MemoryFile &out);

// At most `limit` bytes of an open file, read to its end whatever size it reports (files under /proc
// report none); `more` is set when it holds more than that.
QByteArray ReadBounded(QFile &file, qint64 limit, bool *more);

}  // namespace images::detail
