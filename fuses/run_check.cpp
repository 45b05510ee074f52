#include "fuses/run_check.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace fuses {
namespace {

std::optional<FuseByte> ByteOfMemory(QStringView memory)
{
    for (const FuseByteRow &row : FuseByteTable)
        if (memory == QLatin1String(row.memory))
            return row.byte;
    return std::nullopt;
}

bool IsFuseMemory(QStringView memory)
{
    static const QRegularExpression numbered(QStringLiteral("^fuse\\d*$"));
    return ByteOfMemory(memory).has_value() || numbered.match(memory).hasMatch();
}

QChar DetectFormat(const QString &file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return u'a';
    const QByteArray head = in.read(4);
    if (head == QByteArray("\x7f" "ELF", 4))
        return u'e';
    const QByteArray start = head.trimmed();
    if (start.startsWith(':'))
        return u'i';
    if (start.startsWith('S') && start.size() > 1 && std::isdigit(static_cast<unsigned char>(start[1])))
        return u's';
    return u'r';
}

// One record's bytes from its hex digits; nothing when they are not pairs of hex digits.
std::optional<QByteArray> HexBytes(QByteArrayView digits)
{
    if (digits.size() % 2)
        return std::nullopt;
    QByteArray out = QByteArray::fromHex(digits.toByteArray());
    if (out.size() * 2 != digits.size())
        return std::nullopt;
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]*$"));
    if (!hex.match(QString::fromLatin1(digits.toByteArray())).hasMatch())
        return std::nullopt;
    return out;
}

QString LineError(const QString &file, int line, const QString &what)
{
    return QStringLiteral("%1, line %2: %3").arg(QFileInfo(file).fileName()).arg(line).arg(what);
}

// The text's lines that hold a record, each with its number (from 1).
std::vector<std::pair<int, QByteArray>> Records(const QByteArray &text)
{
    std::vector<std::pair<int, QByteArray>> out;
    int number = 0;
    for (const QByteArray &raw : text.split('\n'))
        if (++number; !raw.trimmed().isEmpty())
            out.emplace_back(number, raw.trimmed());
    return out;
}

unsigned ByteSum(const QByteArray &bytes)
{
    unsigned sum = 0;
    for (const char b : bytes)
        sum += static_cast<unsigned char>(b);
    return sum & 0xFF;
}

ImageExtent IntelHex(const QString &file, const QByteArray &text, QByteArray *data = nullptr)
{
    ImageExtent out;
    qint64 base = 0;
    for (const auto &[number, line] : Records(text)) {
        const auto bytes = line.startsWith(':') ? HexBytes(QByteArrayView(line).sliced(1)) : std::nullopt;
        if (!bytes || bytes->size() < 5 || bytes->size() != 5 + static_cast<unsigned char>(bytes->at(0))) {
            out.error = LineError(file, number, QStringLiteral("not an Intel hex record"));
            return out;
        }
        if (ByteSum(*bytes) != 0) {
            out.error = LineError(file, number, QStringLiteral("checksum error"));
            return out;
        }
        const auto byte = [&](int i) { return static_cast<qint64>(static_cast<unsigned char>(bytes->at(i))); };
        const qint64 count = byte(0);
        const qint64 address = byte(1) << 8 | byte(2);
        switch (byte(3)) {
        case 0x00:
            if (count > 0)
                out.highest = std::max(out.highest, base + address + count - 1);
            if (data && base + address == data->size())
                data->append(bytes->mid(4, static_cast<qsizetype>(count)));
            break;
        case 0x01:
            return out;
        case 0x02:
            base = (byte(4) << 8 | byte(5)) << 4;
            break;
        case 0x04:
            base = (byte(4) << 8 | byte(5)) << 16;
            break;
        default:
            break;
        }
    }
    return out;
}

ImageExtent SRecords(const QString &file, const QByteArray &text)
{
    ImageExtent out;
    for (const auto &[number, line] : Records(text)) {
        const auto bytes = line.size() >= 4 && line[0] == 'S' ? HexBytes(QByteArrayView(line).sliced(2)) : std::nullopt;
        if (!bytes || bytes->isEmpty() || bytes->size() != 1 + static_cast<unsigned char>(bytes->at(0))) {
            out.error = LineError(file, number, QStringLiteral("not a Motorola S-record"));
            return out;
        }
        if (ByteSum(*bytes) != 0xFF) {
            out.error = LineError(file, number, QStringLiteral("checksum error"));
            return out;
        }
        const int addressBytes = line[1] == '1' ? 2 : line[1] == '2' ? 3 : line[1] == '3' ? 4 : 0;
        if (addressBytes == 0)
            continue;  // header, count and end records
        qint64 address = 0;
        for (int i = 1; i <= addressBytes; ++i)
            address = address << 8 | static_cast<unsigned char>(bytes->at(i));
        const qint64 count = bytes->size() - 1 - addressBytes - 1;
        if (count > 0)
            out.highest = std::max(out.highest, address + count - 1);
    }
    return out;
}

ImageExtent Elf(const QString &file, const QByteArray &bytes, const QString &memory)
{
    // 32-bit little-endian ELF, as avr-gcc writes it: the loaded segments' physical addresses; the
    // EEPROM's start at 0x810000.
    ImageExtent out;
    const auto u16 = [&](qsizetype at) { return static_cast<qint64>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8); };
    const auto u32 = [&](qsizetype at) { return u16(at) | u16(at + 2) << 16; };
    if (bytes.size() < 52 || bytes[4] != 1 || bytes[5] != 1) {
        out.error = QStringLiteral("%1: not a 32-bit little-endian ELF file").arg(QFileInfo(file).fileName());
        return out;
    }
    const qint64 table = u32(28), entrySize = u16(42), entries = u16(44);
    for (qint64 i = 0; i < entries; ++i) {
        const qint64 at = table + i * entrySize;
        if (at + 32 > bytes.size()) {
            out.error = QStringLiteral("%1: its program headers are cut short").arg(QFileInfo(file).fileName());
            return out;
        }
        const qint64 type = u32(at), paddr = u32(at + 12), filesz = u32(at + 16);
        if (type != 1 || filesz == 0)
            continue;
        const bool eeprom = paddr >= 0x810000 && paddr < 0x820000;
        if (memory == QLatin1String("eeprom") ? eeprom : paddr < 0x800000)
            out.highest = std::max(out.highest, (eeprom ? paddr - 0x810000 : paddr) + filesz - 1);
    }
    return out;
}

}  // namespace

std::optional<unsigned> ImmediateByte(QStringView text)
{
    const QString first = text.toString().split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts).value(0);
    bool ok = false;
    unsigned value = 0;
    if (first.startsWith(QLatin1String("0b"), Qt::CaseInsensitive))
        value = first.mid(2).toUInt(&ok, 2);
    else
        value = first.toUInt(&ok, 0);  // decimal, 0x hex, leading-0 octal
    if (!ok || value > 0xFF)
        return std::nullopt;
    return value;
}

LineOperations FindOperations(const QStringList &args)
{
    LineOperations out;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        const auto value = [&](const QString &flag) -> std::optional<QString> {
            if (arg == flag)
                return i + 1 < args.size() ? std::optional(args[++i]) : std::nullopt;
            if (arg.startsWith(flag))
                return arg.mid(flag.size());
            return std::nullopt;
        };
        if (const auto part = value(QStringLiteral("-p"))) {
            out.part = *part;  // the last one counts, as avrdude takes it
            continue;
        }
        const auto operation = value(QStringLiteral("-U"));
        if (!operation)
            continue;
        // memory:op:file[:format], the file possibly holding colons; a bare file is a flash write.
        QStringList parts = operation->split(u':');
        QString memory = QStringLiteral("flash"), op = QStringLiteral("w"), format = QStringLiteral("a"), file;
        if (parts.size() >= 3) {
            memory = parts.takeFirst();
            op = parts.takeFirst();
            if (parts.size() >= 2 && parts.back().size() == 1)
                format = parts.takeLast();
            file = parts.join(u':');
        } else {
            file = *operation;
        }
        if (op != QLatin1String("w"))
            continue;
        if (IsFuseMemory(memory)) {
            ByteWrite write{memory, ByteOfMemory(memory), std::nullopt, {}};
            if (format == QLatin1String("m")) {
                write.value = ImmediateByte(file);
                if (!write.value)
                    write.why = QStringLiteral("\"%1\" is not one byte").arg(file);
            } else {
                write.value = ByteFromFile(file, format.front(), &write.why);
            }
            out.byteWrites.push_back(write);
        } else if (memory == QLatin1String("flash") || memory == QLatin1String("eeprom")) {
            out.imageWrites.push_back({memory, file, format.front()});
        }
    }
    return out;
}

std::optional<unsigned> ByteFromFile(const QString &file, QChar format, QString *why)
{
    if (format == u'a')
        format = DetectFormat(file);
    QFile in(file);
    if (!QFileInfo(file).isFile() || !in.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("the file %1 cannot be read").arg(file);
        return std::nullopt;
    }
    const QByteArray bytes = in.read(1 << 20);
    if (format == u'r' && !bytes.isEmpty())
        return static_cast<unsigned char>(bytes[0]);
    if (format == u'i') {
        QByteArray data;
        const ImageExtent extent = IntelHex(file, bytes, &data);
        if (extent.error.isEmpty() && !data.isEmpty())
            return static_cast<unsigned char>(data[0]);
    }
    *why = QStringLiteral("the value in %1 cannot be read (only raw binary and Intel hex are)").arg(file);
    return std::nullopt;
}

ImageExtent ReadImageExtent(const QString &file, QChar format, const QString &memory)
{
    ImageExtent out;
    const QFileInfo info(file);
    QFile in(file);
    if (!info.isFile() || !in.open(QIODevice::ReadOnly)) {
        out.error = QStringLiteral("%1 does not exist or cannot be read").arg(file);
        return out;
    }
    if (format == u'a')
        format = DetectFormat(file);
    if (format == u'r') {
        out.highest = info.size() - 1;
        return out;
    }
    const QByteArray bytes = in.readAll();
    if (format == u'i')
        return IntelHex(file, bytes);
    if (format == u's')
        return SRecords(file, bytes);
    if (format == u'e')
        return Elf(file, bytes, memory);
    return out;  // another format avrdude knows (immediate, decimal ...): judged by avrdude itself
}

}  // namespace fuses
