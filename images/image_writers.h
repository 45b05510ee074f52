#pragma once
// A memory's bytes written as the image files avrdude reads: Intel hex (16 bytes a record, an
// extended linear address record at each 64 KB), Motorola S-record (S1, S2 or S3 records as the
// addresses need, with their header and end) and raw binary.
#include <QByteArray>
#include <QChar>

namespace images {

QByteArray WriteIntelHex(const QByteArray &bytes);
QByteArray WriteSRecord(const QByteArray &bytes);
// By avrdude's format letter: i, s or r; empty for any other.
QByteArray WriteImage(const QByteArray &bytes, QChar format);

}  // namespace images
