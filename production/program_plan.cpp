#include "production/program_plan.h"

#include "compose/command_line.h"
#include "compose/quoting.h"
#include "fuses/byte_commands.h"
#include "images/elf_target.h"
#include "images/memory_file.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace production {
namespace {

// The part's fuse memory for byte `n` of the .fuse section: the classic low, high and extended
// fuses; a TPI part's one fuse; fuse0 ... on XMEGA and UPDI parts.
QString FuseMemory(const compose::InstalledPart &part, int n)
{
    if (part.HasMemory(u"lfuse")) {
        static const char *const classic[] = {"lfuse", "hfuse", "efuse"};
        const QString name = n < 3 ? QString::fromLatin1(classic[n]) : QString();
        return !name.isEmpty() && part.HasMemory(name) ? name : QString();
    }
    if (n == 0 && part.HasMemory(u"fuse"))
        return QStringLiteral("fuse");
    const QString name = QStringLiteral("fuse%1").arg(n);
    return part.HasMemory(name) ? name : QString();
}

QString Immediate(const QByteArray &bytes)
{
    QStringList each;
    for (char b : bytes)
        each << QStringLiteral("0x") + QStringLiteral("%1").arg(static_cast<quint8>(b), 2, 16, QLatin1Char('0')).toUpper();
    return each.join(u',');
}

// The ELF file's part, fuse and lock values into `plan`, and whether it has EEPROM data; false with
// its refusal set when the file does not suit the part.
bool ElfValues(const QString &path, const QString &file, const compose::InstalledPart &part, const compose::Vocabulary &words,
               ProgramPlan &plan, bool &eeprom)
{
    const images::ElfTarget elf = images::ReadElfTarget(path);
    eeprom = elf.eeprom;
    if (!elf.ok()) {
        plan.refusal = elf.error;
        return false;
    }
    // The file's own word on its part: avr-gcc records the -mmcu it was built for.
    if (!elf.device.isEmpty()) {
        const compose::InstalledPart *built = words.locatePart(elf.device);
        if (!built || built->name != part.name) {
            plan.refusal = QStringLiteral("%1 was built for the %2, not the %3")
                               .arg(file, built ? built->name : elf.device, part.name);
            plan.builtFor = built ? built->name : QString();
            return false;
        }
    }
    if (!elf.flash) {
        plan.refusal = QStringLiteral("%1 holds no program for the flash").arg(file);
        return false;
    }
    for (int n = 0; n < elf.fuses.size(); ++n) {
        const QString memory = FuseMemory(part, n);
        if (memory.isEmpty()) {
            plan.refusal = QStringLiteral("%1 gives %2 fuse bytes; the %3 has no fuse for byte %4")
                               .arg(file).arg(elf.fuses.size()).arg(part.name).arg(n);
            return false;
        }
        plan.values.push_back({memory, elf.fuses.mid(n, 1), Immediate(elf.fuses.mid(n, 1))});
    }
    if (!elf.lock.isEmpty()) {
        const QString memory = part.HasMemory(u"lock") ? QStringLiteral("lock") : QStringLiteral("lockbits");
        const compose::PartMemory *lock = part.Memory(memory);
        if (!lock || lock->size != elf.lock.size()) {
            plan.refusal = QStringLiteral("%1 gives %2 lock bytes; the %3's lock holds %4")
                               .arg(file).arg(elf.lock.size()).arg(part.name).arg(lock ? lock->size : 0);
            return false;
        }
        plan.values.push_back({memory, elf.lock, Immediate(elf.lock)});
    }
    return true;
}

}  // namespace

ProgramPlan PlanProgram(const ProgramRequest &request, const compose::Vocabulary &words)
{
    ProgramPlan plan;
    const compose::InstalledPart *part = words.findPart(request.target.device);
    if (!part)
        part = words.locatePart(request.target.device);
    if (!part) {
        plan.refusal = QStringLiteral("the installed avrdude does not know the part \"%1\"").arg(request.target.device);
        return plan;
    }
    plan.part = part->name;
    plan.signature = part->signature;
    const QString file = QFileInfo(request.elf.isEmpty() ? request.flash.path : request.elf).fileName();
    bool elfEeprom = false;
    if (request.elf.isEmpty()) {
        // A set of files: the images must be what avrdude reads for the part; the values are given.
        if (request.flash.path.isEmpty()) {
            plan.refusal = QStringLiteral("no ELF file, and no flash image to write");
            return plan;
        }
        for (const FuseValue &v : request.values) {
            const compose::PartMemory *memory = part->Memory(v.memory);
            if (!memory || memory->size != v.bytes.size()) {
                plan.refusal = QStringLiteral("the %1 has no %2 of %3 bytes").arg(part->name, v.memory).arg(v.bytes.size());
                return plan;
            }
            plan.values.push_back({v.memory, v.bytes, Immediate(v.bytes)});
        }
    } else if (!ElfValues(request.elf, file, *part, words, plan, elfEeprom)) {
        return plan;
    }
    // The flash image itself must fit, as avrdude reads it.
    const compose::PartMemory *flash = part->Memory(u"flash");
    const ImageFile flashImage = request.elf.isEmpty() ? request.flash : ImageFile{request.elf, u'e'};
    const images::MemoryFile image = images::ReadForWrite(flashImage.path, flashImage.format, {QStringLiteral("flash"), flash ? flash->size : 0});
    if (!image.ok()) {
        plan.refusal = image.error;
        return plan;
    }

    // The serial number goes into the EEPROM after the file's own data: it must neither overwrite that
    // data nor reach past the EEPROM's end.
    if (request.serialAt && !request.verifyOnly) {
        const compose::PartMemory *eeprom = part->Memory(u"eeprom");
        const qint64 at = *request.serialAt;
        if (!eeprom || at + 4 > eeprom->size) {
            plan.refusal = QStringLiteral("the serial number's four bytes at 0x%1 do not fit the %2's EEPROM%3")
                               .arg(at, 0, 16).arg(part->name)
                               .arg(eeprom ? QStringLiteral(" (it ends at 0x%1)").arg(eeprom->size - 1, 0, 16) : QString());
            return plan;
        }
        const ImageFile data = request.elf.isEmpty() ? request.eeprom : ImageFile{request.elf, u'e'};
        if (!data.path.isEmpty() && (elfEeprom || request.elf.isEmpty())) {
            const images::MemoryFile given = images::ReadForWrite(data.path, data.format, {QStringLiteral("eeprom"), eeprom->size});
            for (qint64 i = at; i < at + 4; ++i)
                if (given.ok() && given.given[static_cast<std::size_t>(i)]) {
                    plan.refusal = QStringLiteral("the serial number's four bytes at 0x%1 would overwrite EEPROM data %2 "
                                                  "gives (at 0x%3)")
                                       .arg(at, 0, 16).arg(QFileInfo(data.path).fileName()).arg(i, 0, 16);
                    return plan;
                }
        }
    }

    compose::FormState s = request.target;
    s.device = part->name;
    const QString start = compose::ProgramAndTarget(s, words) + compose::ExitModePieces(s);
    const QString extra = s.extraOptions.isEmpty() ? QString() : s.extraOptions + u' ';
    const QChar op = request.verifyOnly ? u'v' : u'w';
    const auto use = [&](const char *memory, const QString &path, QChar format) {
        return QStringLiteral("-U %1 ").arg(compose::QuoteWord(QStringLiteral("%1:%2:%3:%4").arg(QLatin1String(memory), op, path, format)));
    };
    // Erase, flash, EEPROM, the serial number, the fuses, and the lock last: a lock written earlier
    // would refuse what follows.
    QString line = start + extra + (request.verifyOnly ? QString() : QStringLiteral("-e "));
    if (request.elf.isEmpty()) {
        line += use("flash", request.flash.path, request.flash.format);
        if (!request.eeprom.path.isEmpty())
            line += use("eeprom", request.eeprom.path, request.eeprom.format);
    } else {
        line += use("flash", request.elf, u'e');
        if (elfEeprom)
            line += use("eeprom", request.elf, u'e');
    }
    if (!request.verifyOnly && !request.serialFile.isEmpty())
        line += use("eeprom", request.serialFile, u'i');
    for (const FuseValue &v : plan.values)
        line += QStringLiteral("-U %1:%2:%3:m ").arg(v.memory, op, v.immediate);
    plan.line = line.trimmed();
    plan.signatureLine = fuses::BuildReadCommand(s, fuses::ReadOperation(QStringLiteral("signature"), u'h'), words).trimmed();
    return plan;
}

namespace {

std::optional<std::uint32_t> Digits(const QString &text, int base, QString *error)
{
    const QString digits = text.trimmed();
    static const QString kHex = QStringLiteral("0123456789abcdefABCDEF");
    bool all = !digits.isEmpty();
    for (const QChar c : digits)
        all = all && kHex.left(base == 16 ? 22 : 10).contains(c);
    if (!all) {
        if (error)
            *error = QStringLiteral("is not a number");
        return std::nullopt;
    }
    bool ok = false;
    const qulonglong value = digits.toULongLong(&ok, base);
    if (!ok || value > 0xFFFFFFFFull) {
        if (error)
            *error = QStringLiteral("is too large (at most 4294967295)");
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<std::uint32_t> ParseSerial(const QString &text, QString *error) { return Digits(text, 10, error); }

std::optional<std::uint32_t> ParseAddress(const QString &text, QString *error)
{
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        return Digits(t.mid(2), 16, error);
    return Digits(t, 10, error);
}

QByteArray SerialHex(std::uint32_t address, std::uint32_t serial)
{
    QByteArray record;
    record += char(4);
    record += char((address >> 8) & 0xFF);
    record += char(address & 0xFF);
    record += char(0);
    for (int i = 0; i < 4; ++i)
        record += char((serial >> (8 * i)) & 0xFF);
    int sum = 0;
    for (char c : record)
        sum += static_cast<quint8>(c);
    record += char(-sum & 0xFF);
    QByteArray out;
    // Addresses past 64 KB come with an extended linear address record.
    if (address > 0xFFFF) {
        QByteArray ext;
        ext += char(2);
        ext += char(0);
        ext += char(0);
        ext += char(4);
        ext += char((address >> 24) & 0xFF);
        ext += char((address >> 16) & 0xFF);
        int s = 0;
        for (char c : ext)
            s += static_cast<quint8>(c);
        ext += char(-s & 0xFF);
        out += ':' + ext.toHex().toUpper() + '\n';
    }
    return out + ':' + record.toHex().toUpper() + "\n:00000001FF\n";
}

QString FirstDifference(const QString &output)
{
    static const QRegularExpression verifying(QStringLiteral("verifying (\\S+) memory against"));
    static const QRegularExpression mismatch(
        QStringLiteral("device (0x[0-9a-fA-F]+) != input (0x[0-9a-fA-F]+) at addr (0x[0-9a-fA-F]+)"));
    QString memory;
    for (const QString &line : output.split(u'\n')) {
        if (const auto m = verifying.match(line); m.hasMatch())
            memory = m.captured(1);
        else if (const auto d = mismatch.match(line); d.hasMatch())
            return QStringLiteral("%1: first difference at %2 (chip %3, file %4)")
                .arg(memory.isEmpty() ? QStringLiteral("memory") : memory, d.captured(3), d.captured(1), d.captured(2));
    }
    return {};
}

}  // namespace production
