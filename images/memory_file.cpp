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

// An ELF file may carry far more than its images (debug data): bounded all the same.
constexpr qint64 kElfLimit = qint64(64) << 20;

QChar Detect(const QByteArray &text, const QString &name, QString *error)
{
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
    *error = QStringLiteral("avrdude cannot tell the format of %1 (neither ELF, Intel hex, S-record nor binary)").arg(name);
    return QChar();
}

}  // namespace

QChar DetectFormat(const QString &path, QString *error)
{
    const auto file = detail::OpenRegular(path, error);
    if (!file)
        return QChar();
    bool more = false;
    const QByteArray text = detail::ReadBounded(*file, std::max(TextLimit(1 << 24), kElfLimit), &more);
    if (more) {
        *error = QStringLiteral("%1 is too large to be read").arg(path);
        return QChar();
    }
    return Detect(text, QFileInfo(path).fileName(), error);
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
    // Read once and whole, up to what any image of the memory in this format could be; what is
    // judged below is exactly these bytes.
    const qint64 limit = format == u'r' ? memory.size : format == u'e' ? kElfLimit
                       : format == u'a' ? std::max(TextLimit(memory.size), kElfLimit) : TextLimit(memory.size);
    bool more = false;
    out.source = detail::ReadBounded(*file, limit, &more);
    out.whole = !more;
    const qint64 reported = file->size();
    if (format == u'a') {
        format = Detect(out.source, name, &out.error);
        if (format.isNull())
            return out;
        out.format = format;
    }
    if (format == u'r') {
        if (more || out.source.size() > memory.size) {
            out.reaches = std::max(reported, out.source.size() + (more ? 1 : 0)) - 1;
            out.error = QStringLiteral("%1 reaches %2, past the memory's end").arg(name, Hex(out.reaches));
            return out;
        }
        out.bytes.replace(0, out.source.size(), out.source);
        std::fill_n(out.given.begin(), out.source.size(), true);
        out.count = out.source.size();
        return out;
    }
    if (more || (format != u'e' && out.source.size() > TextLimit(memory.size))) {
        out.error = QStringLiteral("%1 is %2 bytes, far more than any image of the %3 bytes of %4")
                        .arg(name)
                        .arg(std::max(reported, out.source.size() + 1))
                        .arg(memory.size)
                        .arg(memory.name);
        return out;
    }
    if (format == u'e') {
        detail::ReadElf(name, out.source, memory, out);
        return out;
    }
    if (format == u'i' || format == u's') {
        const std::string_view all(out.source.constData(), static_cast<std::size_t>(out.source.size()));
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
