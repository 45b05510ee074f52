#include "images/file_formats.h"

#include <QFileInfo>
#include <cctype>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace images::detail {
namespace {

QString LineError(const QString &name, int line, const QString &what)
{
    return QStringLiteral("%1, line %2: %3").arg(name).arg(line).arg(what);
}

// A fixed-width field of a record as avrdude reads it: strtoul over exactly these characters, which
// must all be taken.
std::optional<unsigned long long> Field(std::string_view line, std::size_t &at, std::size_t width, int base = 16)
{
    if (at + width > line.size())
        return std::nullopt;
    const std::string_view field = line.substr(at, width);
    at += width;
    std::size_t end = 0;
    const unsigned long long value = Strtoul(field, base, &end);
    if (end == 0 || end != field.size())
        return std::nullopt;
    return value;
}

// A record's `length` data bytes from `at` on, each added to `sum`; nothing when one is missing.
std::optional<std::string> DataBytes(std::string_view line, std::size_t &at, int length, quint8 &sum)
{
    std::string data;
    for (int j = 0; j < length; ++j) {
        const auto byte = Field(line, at, 2);
        if (!byte)
            return std::nullopt;
        data.push_back(static_cast<char>(*byte));
        sum = static_cast<quint8>(sum + *byte);
    }
    return data;
}

void OutOfRange(MemoryFile &out, const QString &name, int line, qint64 reaches)
{
    out.reaches = reaches;
    out.error = LineError(name, line, QStringLiteral("address 0x%1 is past the memory's end")
                                          .arg(QString::number(reaches, 16).toUpper()));
}

void Put(MemoryFile &out, qint64 address, std::string_view data)
{
    for (std::size_t i = 0; i < data.size(); ++i) {
        out.bytes[address + static_cast<qint64>(i)] = data[i];
        out.given[static_cast<std::size_t>(address) + i] = true;
    }
}

}  // namespace

std::unique_ptr<QFile> OpenRegular(const QString &path, QString *error)
{
    const QString name = QFileInfo(path).fileName();
    // Opened without waiting, then looked at: a FIFO put in a file's place between a look and an
    // open cannot make the program wait for a writer.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        *error = QStringLiteral("%1 does not exist or cannot be read").arg(path);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        *error = QStringLiteral("%1 is not a regular file").arg(path);
        return nullptr;
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        *error = QStringLiteral("%1 cannot be read").arg(path);
        return nullptr;
    }
    return file;
}

QByteArray ReadBounded(QFile &file, qint64 limit, bool *more)
{
    QByteArray out;
    *more = false;
    char chunk[65536];
    for (;;) {
        const qint64 want = std::min<qint64>(sizeof chunk, limit + 1 - out.size());
        const qint64 got = file.read(chunk, want);
        if (got <= 0)
            break;
        out.append(chunk, got);
        if (out.size() > limit) {
            out.truncate(limit);
            *more = true;
            break;
        }
    }
    return out;
}

unsigned long long Strtoul(std::string_view text, int base, std::size_t *end)
{
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'Z')
            return c - 'A' + 10;
        return 99;
    };
    std::size_t prefixEnd = 0;  // "0x" without a digit after it: the 0 is read, the end is at the x
    if ((base == 0 || base == 16) && i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        prefixEnd = i + 1;
        i += 2;
        base = 16;
    } else if (base == 0) {
        base = i < text.size() && text[i] == '0' ? 8 : 10;
    }
    const std::size_t first = i;
    unsigned long long value = 0;
    bool overflow = false;
    for (; i < text.size() && digit(text[i]) < base; ++i) {
        const unsigned long long d = static_cast<unsigned long long>(digit(text[i]));
        if (value > (ULLONG_MAX - d) / static_cast<unsigned long long>(base))
            overflow = true;
        value = value * static_cast<unsigned long long>(base) + d;
    }
    if (i == first) {
        *end = prefixEnd;
        return 0;
    }
    *end = i;
    if (overflow)
        return ULLONG_MAX;
    return negative ? 0 - value : value;
}

std::vector<std::string_view> FgetsLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t length = std::min<std::size_t>(text.size(), 255);
        if (const std::size_t newline = text.substr(0, length).find('\n'); newline != std::string_view::npos)
            length = newline + 1;
        std::string_view line = text.substr(0, length);
        text.remove_prefix(length);
        if (const std::size_t nul = line.find('\0'); nul != std::string_view::npos)
            line = line.substr(0, nul);
        if (!line.empty() && line.back() == '\n')
            line.remove_suffix(1);  // as every reader of avrdude's drops it
        lines.push_back(line);
    }
    return lines;
}

void ReadIntelHex(const QString &name, std::string_view text, MemoryFile &out)
{
    const quint32 size = static_cast<quint32>(out.bytes.size());
    quint32 base = 0, highest = 0;
    int number = 0;
    for (std::string_view line : FgetsLines(text)) {
        ++number;
        if (line.empty() || line[0] != ':')
            continue;  // avrdude skips every line that is not a record
        std::size_t at = 1;
        const auto count = Field(line, at, 2), offset = Field(line, at, 4), type = Field(line, at, 2);
        if (!count || !offset || !type) {
            out.error = LineError(name, number, QStringLiteral("not an Intel hex record"));
            return;
        }
        const quint8 length = static_cast<quint8>(*count);
        const quint32 loadOffset = static_cast<quint32>(*offset);
        quint8 sum = static_cast<quint8>(length + ((loadOffset >> 8) & 0xFF) + (loadOffset & 0xFF) + *type);
        const auto bytes = DataBytes(line, at, length, sum);
        const auto checksum = bytes ? Field(line, at, 2) : std::nullopt;
        if (!checksum) {
            out.error = LineError(name, number, QStringLiteral("not an Intel hex record"));
            return;
        }
        if (static_cast<quint8>(*checksum) != static_cast<quint8>(-sum & 0xFF)) {
            out.error = LineError(name, number, QStringLiteral("checksum error"));
            return;
        }
        const std::string &data = *bytes;
        const auto byte = [&](int i) { return static_cast<quint32>(static_cast<unsigned char>(data.size() > std::size_t(i) ? data[i] : 0)); };
        switch (static_cast<quint8>(*type)) {
        case 0: {
            const quint32 next = loadOffset + base;  // 32 bits, wrapping as avrdude's unsigned int does
            if (next + length > size) {
                OutOfRange(out, name, number, static_cast<qint64>(next) + length - 1);
                return;
            }
            Put(out, next, data);
            highest = std::max(highest, next + length);
            break;
        }
        case 1:
            out.count = highest;
            return;
        case 2:
            base = (byte(0) << 8 | byte(1)) << 4;
            break;
        case 4:
            base = (byte(0) << 8 | byte(1)) << 16;
            break;
        case 3:
        case 5:
            break;
        default:
            out.error = LineError(name, number, QStringLiteral("record type %1 is not Intel hex").arg(*type & 0xFF));
            return;
        }
    }
    if (highest == 0)
        out.error = QStringLiteral("%1: no Intel hex record with data").arg(name);
    out.count = highest;
}

void ReadSRecords(const QString &name, std::string_view text, MemoryFile &out)
{
    const quint32 size = static_cast<quint32>(out.bytes.size());
    quint32 highest = 0, dataRecords = 0;
    int number = 0;
    for (std::string_view line : FgetsLines(text)) {
        ++number;
        if (line.empty() || line[0] != 'S')
            continue;
        const auto invalid = [&] { out.error = LineError(name, number, QStringLiteral("not a Motorola S-record")); };
        if (line.size() < 2) {
            invalid();
            return;
        }
        const char type = line[1];
        const int width = type == '2' || type == '8' ? 3 : type == '3' || type == '7' ? 4 : 2;
        std::size_t at = 2;
        const auto count = Field(line, at, 2);
        const auto address = count ? Field(line, at, static_cast<std::size_t>(width) * 2) : std::nullopt;
        if (!address) {
            invalid();
            return;
        }
        // The count covers the address, the data and the checksum.
        const quint8 length = static_cast<quint8>(static_cast<quint8>(*count) - (width + 1));
        const quint32 loadOffset = static_cast<quint32>(*address);
        quint8 sum = static_cast<quint8>(*count);
        for (int i = width; i > 0; --i)
            sum = static_cast<quint8>(sum + ((*address >> (i - 1) * 8) & 0xFF));
        const auto bytes = DataBytes(line, at, length, sum);
        const auto checksum = bytes ? Field(line, at, 2) : std::nullopt;
        if (!checksum) {
            invalid();
            return;
        }
        if (static_cast<quint8>(*checksum) != static_cast<quint8>(0xFF - sum)) {
            out.error = LineError(name, number, QStringLiteral("checksum error"));
            return;
        }
        switch (type) {
        case '0':
            continue;
        case '1':
        case '2':
        case '3':
            ++dataRecords;
            if (loadOffset + length > size) {
                OutOfRange(out, name, number, static_cast<qint64>(loadOffset) + length - 1);
                return;
            }
            Put(out, loadOffset, *bytes);
            highest = std::max(highest, loadOffset + length);
            continue;
        case '5':
            if (loadOffset != dataRecords) {
                out.error = LineError(name, number, QStringLiteral("the record count does not match"));
                return;
            }
            continue;
        case '7':
        case '8':
        case '9':
            out.count = highest;
            return;
        default:
            out.error = LineError(name, number, QStringLiteral("record type S%1 is not taken").arg(QChar::fromLatin1(type)));
            return;
        }
    }
    out.count = highest;  // no end record: avrdude warns and writes what it read
}

namespace {

// Where avrdude looks for a memory in an ELF file's load addresses, and which byte of the .fuse
// section a one-byte fuse is.
struct ElfRegion {
    quint32 low = 0, high = 0, byte = 0;
};

std::optional<ElfRegion> RegionOf(const QString &memory)
{
    if (memory == QLatin1String("flash") || memory == QLatin1String("boot") || memory == QLatin1String("application") ||
        memory == QLatin1String("apptable"))
        return ElfRegion{0, 0x7FFFFF, 0};
    if (memory == QLatin1String("eeprom"))
        return ElfRegion{0x810000, 0x81FFFF, 0};
    if (memory == QLatin1String("lfuse"))
        return ElfRegion{0x820000, 0x82FFFF, 0};
    if (memory == QLatin1String("hfuse"))
        return ElfRegion{0x820000, 0x82FFFF, 1};
    if (memory == QLatin1String("efuse"))
        return ElfRegion{0x820000, 0x82FFFF, 2};
    if (memory.size() == 5 && memory.startsWith(QLatin1String("fuse")) && memory[4] >= u'0' && memory[4] <= u'7')
        return ElfRegion{0x820000, 0x82FFFF, static_cast<quint32>(memory[4].unicode() - '0')};
    if (memory.startsWith(QLatin1String("lock")))
        return ElfRegion{0x830000, 0x83FFFF, 0};
    return std::nullopt;
}

}  // namespace

void ReadElf(const QString &name, const QByteArray &file, const Memory &memory, MemoryFile &out)
{
    const auto read = [&](qint64 at, qint64 length) -> QByteArray {
        if (at < 0 || length < 0 || at + length > file.size())
            return {};
        return file.mid(at, length);
    };
    const auto u16 = [](const QByteArray &b, int at) { return static_cast<quint32>(static_cast<quint8>(b[at]) | static_cast<quint8>(b[at + 1]) << 8); };
    const auto u32 = [&](const QByteArray &b, int at) { return u16(b, at) | u16(b, at + 2) << 16; };
    const QByteArray header = read(0, 52);
    if (header.size() != 52 || !header.startsWith("\x7f" "ELF") || header[4] != 1 || header[5] != 1) {
        out.error = QStringLiteral("%1: not a 32-bit little-endian ELF file").arg(name);
        return;
    }
    if (u16(header, 18) != 83) {
        out.error = QStringLiteral("%1: not an ELF file for AVR").arg(name);
        return;
    }
    const auto region = RegionOf(memory.name);
    if (!region) {
        out.error = QStringLiteral("avrdude takes no %1 memory from an ELF file").arg(memory.name);
        return;
    }
    const quint32 phoff = u32(header, 28), shoff = u32(header, 32);
    const quint32 phentsize = u16(header, 42), phnum = u16(header, 44), shentsize = u16(header, 46), shnum = u16(header, 48);
    const QByteArray programs = phentsize >= 32 ? read(phoff, qint64(phentsize) * phnum) : QByteArray();
    const QByteArray sections = shentsize >= 40 ? read(shoff, qint64(shentsize) * shnum) : QByteArray();
    if (phnum == 0 || programs.isEmpty() || (shnum > 0 && sections.isEmpty())) {
        out.error = QStringLiteral("%1: its program or section headers cannot be read").arg(name);
        return;
    }
    qint64 count = -1;
    for (quint32 i = 0; i < phnum; ++i) {
        const int p = static_cast<int>(i * phentsize);
        const quint32 type = u32(programs, p), offset = u32(programs, p + 4), paddr = u32(programs, p + 12), filesz = u32(programs, p + 16);
        if (type != 1 || filesz == 0)
            continue;
        for (quint32 s = 0; s < shnum; ++s) {
            const int h = static_cast<int>(s * shentsize);
            const quint32 shType = u32(sections, h + 4), flags = u32(sections, h + 8), shOffset = u32(sections, h + 16),
                          shSize = u32(sections, h + 20);
            if ((flags & 2) == 0 || shType != 1 || shSize == 0)
                continue;  // allocated program data only; avrdude passes over an empty section (an
                           // empty .data shares the file offset of the section after it)
            if (shOffset < offset || qint64(shOffset) + shSize > qint64(offset) + filesz)
                continue;  // another segment's section
            const quint32 lma = paddr + shOffset - offset;
            if (!(lma >= region->low && qint64(lma) + shSize < region->high))
                continue;  // another memory's
            if (memory.size == 1) {
                const QByteArray byte = region->byte < shSize ? read(shOffset + region->byte, 1) : QByteArray();
                if (byte.isEmpty()) {
                    out.error = QStringLiteral("%1: its section at 0x%2 has no byte %3 for %4")
                                    .arg(name, QString::number(lma, 16).toUpper())
                                    .arg(region->byte)
                                    .arg(memory.name);
                    return;
                }
                out.bytes[0] = byte[0];
                out.given[0] = true;
                count = 1;
                continue;
            }
            const qint64 at = qint64(lma) - region->low;
            if (at + shSize > memory.size) {
                out.reaches = at + shSize - 1;
                out.error = QStringLiteral("%1: a section reaches 0x%2, past the memory's end")
                                .arg(name, QString::number(out.reaches, 16).toUpper());
                return;
            }
            const QByteArray data = read(shOffset, shSize);
            if (data.size() != qint64(shSize)) {
                out.error = QStringLiteral("%1: a section is cut short").arg(name);
                return;
            }
            Put(out, at, std::string_view(data.constData(), static_cast<std::size_t>(data.size())));
            count = std::max(count, at + shSize);
        }
    }
    if (count < 0) {
        out.error = QStringLiteral("%1 holds nothing for the %2 memory").arg(name, memory.name);
        return;
    }
    out.count = count;
}

}  // namespace images::detail
