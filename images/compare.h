#pragma once
// A memory as the chip holds it laid over an image of it: the ranges of bytes that differ, counted
// over the bytes the image gives (what avrdude would write); bytes it does not give are none.
#include "images/memory_file.h"

#include <QByteArray>
#include <vector>

namespace images {

struct DiffRange {
    qint64 start = 0, end = 0;  // [start, end)
    qint64 size() const { return end - start; }
    bool operator==(const DiffRange &) const = default;
};

struct Comparison {
    std::vector<DiffRange> ranges;  // the runs of differing bytes, in address order
    qint64 differing = 0;           // bytes that differ
    qint64 given = 0;               // bytes the image gives
    bool same() const { return differing == 0; }
};

// `chip`: the memory's bytes; `image`: what was read from the file for that memory.
Comparison Compare(const QByteArray &chip, const MemoryFile &image);

// "3 ranges, 5 bytes differ (of 1024 the file gives)", or "The chip holds every byte the file
// gives (1024)".
QString Summary(const Comparison &c);

}  // namespace images
