#include "images/memory_file.h"

#include "images/file_formats.h"

#include <QFileInfo>
#include <cctype>

namespace images {
namespace {

using detail::Strtoul;

// A hex or S-record file holds at most a few characters per byte of the memory (one-byte records
// take 15); anything much larger is no image of it, and is not read.
qint64 TextLimit(qint64 memorySize) { return (qint64(1) << 20) + 16 * memorySize; }

QString Hex(qint64 value) { return QStringLiteral("0x%1").arg(QString::number(value, 16).toUpper()); }

// avrdude's immediate mode: numbers separated by blanks or commas, each read by strtoul (base 0, or
// base 2 after "0b"), each cut to its lowest byte; as many as the memory holds.
void ReadImmediate(const QString &text, MemoryFile &out)
{
    const QByteArray bytes = text.toUtf8();
    qint64 at = 0;
    for (const QByteArray &token : bytes.split(' ')) {
        for (const QByteArray &piece : token.split(',')) {
            if (piece.isEmpty())
                continue;
            if (at >= out.bytes.size())
                break;
            const bool binary = piece.startsWith("0b");
            const std::string_view rest(piece.constData() + (binary ? 2 : 0), static_cast<std::size_t>(piece.size() - (binary ? 2 : 0)));
            std::size_t end = 0;
            const unsigned long long value = Strtoul(rest, binary ? 2 : 0, &end);
            if (end != rest.size()) {
                out.error = QStringLiteral("\"%1\" is no number avrdude takes").arg(QString::fromUtf8(piece));
                return;
            }
            out.bytes[at] = static_cast<char>(value & 0xFF);
            out.given[static_cast<std::size_t>(at)] = true;
            out.count = ++at;
        }
    }
}

QChar Detect(QFile &file, QString *error)
{
    const QByteArray text = file.readAll();
    bool first = true;
    for (std::string_view line : detail::FgetsLines(std::string_view(text.constData(), static_cast<std::size_t>(text.size())))) {
        if (first && line.size() >= 4 && line.substr(0, 4) == std::string_view("\x7f" "ELF", 4))
            return u'e';
        for (const char c : line)
            if (static_cast<unsigned char>(c) > 127)
                return u'r';
        // avrdude looks at the record's first digit alone.
        if (line.size() >= 11 && line[0] == ':' && std::isxdigit(static_cast<unsigned char>(line[1])))
            return u'i';
        if (line.size() >= 10 && line[0] == 'S' && std::isdigit(static_cast<unsigned char>(line[1])))
            return u's';
        first = false;
    }
    *error = QStringLiteral("avrdude cannot tell the format of %1 (neither ELF, Intel hex, S-record nor binary)")
                 .arg(QFileInfo(file.fileName()).fileName());
    return QChar();
}

}  // namespace

QChar DetectFormat(const QString &path, QString *error)
{
    const auto file = detail::OpenRegular(path, error);
    if (!file)
        return QChar();
    if (file->size() > TextLimit(1 << 24)) {
        *error = QStringLiteral("%1 is too large to be read").arg(path);
        return QChar();
    }
    return Detect(*file, error);
}

MemoryFile ReadForWrite(const QString &text, QChar format, const Memory &memory)
{
    MemoryFile out;
    out.bytes = QByteArray(memory.size, char(0xFF));
    out.given.assign(static_cast<std::size_t>(memory.size), false);
    out.format = format;
    if (format == u'm') {
        ReadImmediate(text, out);
        return out;
    }
    if (format == u'd' || format == u'h' || format == u'o' || format == u'b') {
        out.error = QStringLiteral("avrdude 7.1 reads nothing from a file of format %1 (it only writes it)").arg(format);
        return out;
    }
    if (text == QLatin1String("-")) {
        out.error = QStringLiteral("\"-\" is avrdude's standard input, which Fusewerk closes: nothing would be read");
        return out;
    }
    const QString name = QFileInfo(text).fileName();
    const auto file = detail::OpenRegular(text, &out.error);
    if (!file)
        return out;
    const qint64 fileSize = file->size();
    if (format == u'a' || format == u'i' || format == u's') {
        if (fileSize > TextLimit(memory.size)) {
            out.error = QStringLiteral("%1 is %2 bytes, far more than any image of the %3 bytes of %4")
                            .arg(name)
                            .arg(fileSize)
                            .arg(memory.size)
                            .arg(memory.name);
            return out;
        }
    }
    if (format == u'a') {
        format = Detect(*file, &out.error);
        if (format.isNull())
            return out;
        out.format = format;
        file->seek(0);
    }
    if (format == u'r') {
        if (fileSize > memory.size) {
            out.reaches = fileSize - 1;
            out.error = QStringLiteral("%1 reaches %2, past the memory's end").arg(name, Hex(out.reaches));
            return out;
        }
        const QByteArray bytes = file->readAll();
        out.bytes.replace(0, bytes.size(), bytes);
        std::fill_n(out.given.begin(), bytes.size(), true);
        out.count = bytes.size();
        return out;
    }
    if (format == u'e') {
        detail::ReadElf(name, *file, memory, out);
        return out;
    }
    if (format == u'i' || format == u's') {
        const QByteArray bytes = file->readAll();
        const std::string_view all(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        if (format == u'i')
            detail::ReadIntelHex(name, all, out);
        else
            detail::ReadSRecords(name, all, out);
        return out;
    }
    out.error = QStringLiteral("\"%1\" is no file format avrdude knows").arg(format);
    return out;
}

}  // namespace images
