#include "images/elf_target.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

namespace images {
namespace {

// A section table past this is no avr-gcc output.
constexpr quint32 kMostSections = 4096;
constexpr quint32 kLargestNote = 4096;

quint32 U16(const QByteArray &b, qsizetype at)
{
    return static_cast<quint32>(static_cast<quint8>(b[at]) | static_cast<quint8>(b[at + 1]) << 8);
}
quint32 U32(const QByteArray &b, qsizetype at) { return U16(b, at) | U16(b, at + 2) << 16; }

}  // namespace

ElfTarget ReadElfTarget(const QString &path)
{
    ElfTarget out;
    const QString name = QFileInfo(path).fileName();
    // Never a FIFO or a device: it could block the window for ever.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    QFile file;
    if (fd < 0 || !QFileInfo(path).isFile() || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0 && !file.isOpen())
            ::close(fd);
        out.error = QStringLiteral("%1 cannot be read as a file").arg(name);
        return out;
    }
    const auto read = [&](qint64 at, qint64 length) -> QByteArray {
        if (at < 0 || length < 0 || at + length > file.size() || !file.seek(at))
            return {};
        QByteArray bytes = file.read(length);
        return bytes.size() == length ? bytes : QByteArray();
    };
    const QByteArray header = read(0, 52);
    if (header.size() != 52 || !header.startsWith("\x7f" "ELF") || header[4] != 1 || header[5] != 1) {
        out.error = QStringLiteral("%1 is not a 32-bit little-endian ELF file").arg(name);
        return out;
    }
    if (U16(header, 18) != 83) {
        out.error = QStringLiteral("%1 is not built for AVR (ELF machine %2)").arg(name).arg(U16(header, 18));
        return out;
    }
    const quint32 shoff = U32(header, 32), shentsize = U16(header, 46), shnum = U16(header, 48), shstrndx = U16(header, 50);
    const QByteArray sections = shentsize >= 40 && shnum <= kMostSections ? read(shoff, qint64(shentsize) * shnum) : QByteArray();
    if (shnum == 0 || sections.isEmpty() || shstrndx >= shnum) {
        out.error = QStringLiteral("%1: its section table cannot be read").arg(name);
        return out;
    }
    const auto field = [&](quint32 s, int at) { return U32(sections, qsizetype(s) * shentsize + at); };
    const QByteArray names = read(field(shstrndx, 16), std::min<quint32>(field(shstrndx, 20), 1 << 20));
    for (quint32 s = 0; s < shnum; ++s) {
        const quint32 at = field(s, 0), type = field(s, 4), flags = field(s, 8), offset = field(s, 16), size = field(s, 20);
        const QByteArray section = at < names.size() ? QByteArray(names.constData() + at) : QByteArray();
        const bool data = type == 1 && size > 0;  // PROGBITS with bytes in the file
        if (section == ".fuse" && data)
            out.fuses = read(offset, std::min<quint32>(size, 16));
        else if (section == ".lock" && data)
            out.lock = read(offset, std::min<quint32>(size, 4));
        else if (section == ".eeprom" && data)
            out.eeprom = true;
        else if (data && (flags & 2) && (section == ".text" || section == ".data" || section.startsWith(".progmem")))
            out.flash = true;
        else if (section == ".note.gnu.avr.deviceinfo" && size <= kLargestNote) {
            // namesz, descsz, type, "AVR\0"; then flash, SRAM and EEPROM start and size, the offset
            // table's length in bytes (counting itself), its offsets, and the strings; the first
            // offset names the device.
            const QByteArray note = read(offset, size);
            if (note.size() < 16 || U32(note, 0) != 4 || note.mid(12, 4) != QByteArray("AVR\0", 4))
                continue;
            const qsizetype desc = 16, table = desc + 24;
            if (note.size() < table + 8)
                continue;
            const qsizetype strings = table + U32(note, table), first = strings + U32(note, table + 4);
            if (U32(note, table) >= 8 && first < note.size())
                out.device = QString::fromLatin1(note.constData() + first);
        }
    }
    return out;
}

}  // namespace images
