#include "compose/installed.h"

#include <QHash>
#include <QRegularExpression>

namespace compose {
namespace {

QString Unquoted(const QString &value)
{
    return value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"') ? value.mid(1, value.size() - 2)
                                                                               : value;
}

// "PM_SPM | PM_UPDI" -> {PM_SPM, PM_UPDI}
QStringList Modes(const QString &value)
{
    QStringList out;
    for (const QString &mode : value.split(u'|', Qt::SkipEmptyParts))
        out << mode.trimmed();
    return out;
}

// A mode as the user is told it: "UPDI", "a bootloader".
QString ModeWord(const QString &mode)
{
    return mode == QLatin1String("PM_SPM") ? QStringLiteral("a bootloader") : QString(mode).remove(QStringLiteral("PM_"));
}

QString ModeWords(const QStringList &modes)
{
    QStringList words;
    for (const QString &mode : modes)
        words << ModeWord(mode);
    if (words.size() < 2)
        return words.join(QString());
    return words.mid(0, words.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") + words.back();
}

// "0x1e 0x95 0x0f" -> "1E950F"
QString SignatureText(const QString &value)
{
    QString out;
    for (const QString &byte : value.split(u' ', Qt::SkipEmptyParts)) {
        bool ok = false;
        const uint v = byte.toUInt(&ok, 0);
        if (!ok || v > 255)
            return {};
        out += QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper();
    }
    return out.size() == 6 ? out : QString();
}

}  // namespace

std::vector<InstalledPart> ParseParts(QByteArrayView text)
{
    std::vector<InstalledPart> parts;
    QHash<QString, std::size_t> byName;
    std::vector<QHash<QString, std::size_t>> memoryIndex;  // per part: memory name to its place
    const auto part = [&](const QString &name) -> InstalledPart & {
        const auto found = byName.constFind(name);
        if (found != byName.cend())
            return parts[*found];
        byName.insert(name, parts.size());
        parts.push_back({name, {}, {}, {}, {}});
        memoryIndex.emplace_back();
        return parts.back();
    };
    for (const QByteArrayView line : QByteArray(text.data(), text.size()).split('\n')) {
        const QStringList f = QString::fromUtf8(line).split(u'\t');
        if (f.size() < 4)
            continue;
        if (f[0] == QLatin1String(".pt")) {
            InstalledPart &p = part(f[1]);
            if (f[2] == QLatin1String("id"))
                p.code = Unquoted(f[3]);
            else if (f[2] == QLatin1String("signature"))
                p.signature = SignatureText(f[3]);
            else if (f[2] == QLatin1String("prog_modes"))
                p.modes = Modes(f[3]);
        } else if (f[0] == QLatin1String(".ptmmop") && f.size() >= 5 && IsFuseOrLockMemory(f[2])) {
            InstalledPart &p = part(f[1]);
            QHash<QString, std::size_t> &index = memoryIndex[byName.value(f[1])];
            if (!index.contains(f[2])) {
                index.insert(f[2], p.memories.size());
                p.memories.push_back({f[2], 0, 0, {}});
            }
            QString &ops = p.memories[index.value(f[2])].ops;
            ops += (ops.isEmpty() ? QString() : QStringLiteral(";")) + f[3] + u':' + f[4].trimmed();
        } else if (f[0] == QLatin1String(".ptmm") && f.size() >= 5) {
            InstalledPart &p = part(f[1]);
            QHash<QString, std::size_t> &index = memoryIndex[byName.value(f[1])];
            if (f[3] == QLatin1String("alias")) {
                p.aliases.push_back({f[2], f[4].trimmed()});
                continue;
            }
            if (!index.contains(f[2])) {
                index.insert(f[2], p.memories.size());
                p.memories.push_back({f[2], 0, 0, {}});
            }
            PartMemory &m = p.memories[index.value(f[2])];
            bool ok = false;
            const qint64 number = f[4].trimmed().toLongLong(&ok, 0);
            if (ok && f[3] == QLatin1String("size"))
                m.size = number;
            else if (ok && f[3] == QLatin1String("offset"))
                m.offset = number;
        }
    }
    // A part without its code cannot be asked for by name.
    std::erase_if(parts, [](const InstalledPart &p) { return p.code.isEmpty() || p.name.isEmpty(); });
    return parts;
}

void ReadProgrammerModes(QByteArrayView text, std::vector<InstalledProgrammer> &programmers)
{
    // ".prog <name> id "<id>", "<id>"" and ".prog <name> prog_modes PM_SPM | PM_ISP".
    QHash<QString, QStringList> ids;
    QHash<QString, QStringList> modes;
    QHash<QString, QHash<QString, QString>> usb;  // usbvid, usbpid, usbvendor, usbproduct
    for (const QByteArrayView line : QByteArray(text.data(), text.size()).split('\n')) {
        const QStringList f = QString::fromUtf8(line).split(u'\t');
        if (f.size() < 4 || f[0] != QLatin1String(".prog"))
            continue;
        if (f[2] == QLatin1String("id"))
            for (const QString &id : f[3].split(u','))
                ids[f[1]] << Unquoted(id.trimmed());
        else if (f[2] == QLatin1String("prog_modes"))
            modes[f[1]] = Modes(f[3]);
        else if (f[2].startsWith(QLatin1String("usb")))
            usb[f[1]].insert(f[2], f[3]);
    }
    QHash<QString, QStringList> byId;
    for (auto it = modes.cbegin(); it != modes.cend(); ++it)
        for (const QString &id : ids.value(it.key(), {it.key()}))
            byId.insert(id, it.value());
    QHash<QString, QHash<QString, QString>> usbById;
    for (auto it = usb.cbegin(); it != usb.cend(); ++it)
        for (const QString &id : ids.value(it.key(), {it.key()}))
            usbById.insert(id, it.value());
    for (InstalledProgrammer &p : programmers) {
        p.modes = byId.value(p.id);
        p.bootloaderOnly = p.modes == QStringList{QStringLiteral("PM_SPM")};
        const QHash<QString, QString> u = usbById.value(p.id);
        p.usbVendor = static_cast<quint16>(u.value(QStringLiteral("usbvid")).toUInt(nullptr, 0));
        p.usbProducts.clear();
        for (const QString &pid : u.value(QStringLiteral("usbpid")).split(u',', Qt::SkipEmptyParts))
            if (const uint v = pid.trimmed().toUInt(nullptr, 0))
                p.usbProducts << static_cast<quint16>(v);
        p.usbVendorName = Unquoted(u.value(QStringLiteral("usbvendor")));
        p.usbProductName = Unquoted(u.value(QStringLiteral("usbproduct")));
    }
}

std::vector<InstalledProgrammer> ParseProgrammers(QByteArrayView text)
{
    static const QRegularExpression row(QStringLiteral("^\\s+(\\S+)\\s+=\\s+(.*?)\\s*$"));
    std::vector<InstalledProgrammer> programmers;
    bool inList = false;
    for (const QByteArrayView line : QByteArray(text.data(), text.size()).split('\n')) {
        const QString l = QString::fromUtf8(line);
        if (l.startsWith(QLatin1String("Valid programmers are:"))) {
            inList = true;
            continue;
        }
        if (const auto m = row.match(l); inList && m.hasMatch())
            programmers.push_back({m.captured(1), m.captured(2), false});
    }
    return programmers;
}

QString ProgrammerFit(const InstalledPart &part, const InstalledProgrammer &programmer)
{
    if (part.modes.isEmpty() || programmer.modes.isEmpty())
        return {};
    QStringList shared;
    for (const QString &mode : part.modes)
        if (programmer.modes.contains(mode))
            shared << mode;
    if (shared.isEmpty())
        return QStringLiteral("%1 cannot program the %2: it speaks %3, the part takes %4.")
            .arg(programmer.id, part.name, ModeWords(programmer.modes), ModeWords(part.modes));
    if (shared == QStringList{QStringLiteral("PM_SPM")})
        return QStringLiteral("%1 reaches the %2 only through a bootloader on it: not its fuses or lock.")
            .arg(programmer.id, part.name);
    return {};
}

bool IsFuseOrLockMemory(QStringView memory)
{
    return memory.contains(u"fuse") || memory.startsWith(u"lock");
}

bool IsToolWord(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (!(c.unicode() < 128 && (c.isLetterOrNumber() || c == u'_' || c == u'.' || c == u'+' || c == u'-')))
            return false;
    return true;
}

const PartMemory *InstalledPart::Memory(QStringView memory) const
{
    for (const PartMemory &m : memories)
        if (m.name == memory)
            return &m;
    return nullptr;
}

const PartMemory *LocateMemory(const InstalledPart &part, QStringView name)
{
    // As avrdude 7.1's avr_locate_mem: a prefix that starts a memory and one of its aliases counts
    // twice, and so is no match.
    const PartMemory *match = nullptr;
    int matches = 0;
    for (const PartMemory &m : part.memories) {
        if (m.name == name)
            return &m;
        if (m.name.startsWith(name)) {
            match = &m;
            ++matches;
        }
    }
    for (const MemoryAlias &a : part.aliases) {
        if (a.name == name)
            return part.Memory(a.memory);
        if (a.name.startsWith(name)) {
            match = part.Memory(a.memory);
            ++matches;
        }
    }
    return matches == 1 ? match : nullptr;
}

}  // namespace compose
