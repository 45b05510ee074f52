#pragma once
// What avrdude 7.1 puts into one memory's buffer before it writes it: the bytes of an image or value
// file, or of an immediate value, read by avrdude's own rules (its file readers, its format
// detection, its strtoul), so that what is judged is what will be written. Files are only opened
// when they are regular files, and never read past what the memory could hold.
#include <QByteArray>
#include <QString>
#include <vector>

namespace images {

// What the memory is, as far as reading into it goes: its avrdude name (ELF files place each
// memory at an address range of its own) and its size in bytes.
struct Memory {
    QString name;
    qint64 size = 0;
};

struct MemoryFile {
    QByteArray bytes;        // the memory's buffer: 0xFF where the file gives nothing
    std::vector<bool> given; // the bytes the file gives (avrdude writes these)
    qint64 count = 0;        // what avrdude reports as read: it writes from address 0 up to here
    QString error;           // why avrdude would refuse the file; empty when it takes it
    qint64 reaches = -1;     // with an error about the memory's end: the last address the file reaches
    QChar format;            // the format read (an auto-detected one resolved)
    // The file itself, every byte as it was read, for a file format that was read whole (empty for
    // immediate values and for a file that could not be read): a copy of these is what is judged.
    QByteArray source;
    bool whole = false;      // `source` holds the whole file (it was not cut at the bound)

    bool ok() const { return error.isEmpty(); }
    bool operator==(const MemoryFile &) const = default;
};

// `text`: what follows the operation in "-U memory:w:<text>:<format>"; `format` its letter (a, i, s,
// r, e, m, d, h, o, b). The result is what avrdude would read for a write of that memory. A file is
// read once, whole, and never past what an image of the memory could be, whatever size it reports.
MemoryFile ReadForWrite(const QString &text, QChar format, const Memory &memory);

// The format avrdude 7.1 detects for a file (i, s, r or e), or 0 when it detects none; `error` says
// why when the file cannot be read.
QChar DetectFormat(const QString &path, QString *error);

}  // namespace images
