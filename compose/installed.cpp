#include "compose/installed.h"

#include <QHash>
#include <QRegularExpression>

namespace compose {
namespace {

// The installed avrdude's answers, and an index by name of each list so that a look-up does not
// walk thousands of entries.
struct Store_ {
    InstalledAvrdude installed;
    QHash<QString, std::size_t> partByName, programmerById;
};

Store_ &TheStore()
{
    static Store_ store;
    return store;
}

InstalledAvrdude &Store() { return TheStore().installed; }

QString Unquoted(const QString &value)
{
    return value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"') ? value.mid(1, value.size() - 2)
                                                                               : value;
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
    const auto part = [&](const QString &name) -> InstalledPart & {
        const auto found = byName.constFind(name);
        if (found != byName.cend())
            return parts[*found];
        byName.insert(name, parts.size());
        parts.push_back({name, {}, {}, {}, {}});
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
        } else if (f[0] == QLatin1String(".ptmm")) {
            InstalledPart &p = part(f[1]);
            if (!p.memories.contains(f[2]))
                p.memories << f[2];
            bool ok = false;
            if (f[3] == QLatin1String("size") && f.size() >= 5)
                if (const qint64 bytes = f[4].toLongLong(&ok, 0); ok)
                    p.sizes.insert(f[2], bytes);
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
    QHash<QString, bool> spmOnly;
    for (const QByteArrayView line : QByteArray(text.data(), text.size()).split('\n')) {
        const QStringList f = QString::fromUtf8(line).split(u'\t');
        if (f.size() < 4 || f[0] != QLatin1String(".prog"))
            continue;
        if (f[2] == QLatin1String("id"))
            for (const QString &id : f[3].split(u','))
                ids[f[1]] << Unquoted(id.trimmed());
        else if (f[2] == QLatin1String("prog_modes"))
            spmOnly[f[1]] = f[3].trimmed() == QLatin1String("PM_SPM");
    }
    QHash<QString, bool> byId;
    for (auto it = spmOnly.cbegin(); it != spmOnly.cend(); ++it)
        for (const QString &id : ids.value(it.key(), {it.key()}))
            byId.insert(id, it.value());
    for (InstalledProgrammer &p : programmers)
        p.bootloaderOnly = byId.value(p.id, false);
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

const InstalledAvrdude &Installed() { return Store(); }

bool IsToolWord(QStringView text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (!(c.unicode() < 128 && (c.isLetterOrNumber() || c == u'_' || c == u'.' || c == u'+' || c == u'-')))
            return false;
    return true;
}

void SetInstalled(InstalledAvrdude installed)
{
    // A part code or programmer id goes on the command line as one word: an answer (or a cache
    // file) with anything else in it would put words of its own there ("m8 -U lock:w:0x00:m").
    std::erase_if(installed.parts, [](const InstalledPart &p) { return !IsToolWord(p.code); });
    std::erase_if(installed.programmers, [](const InstalledProgrammer &p) { return !IsToolWord(p.id); });
    Store_ &store = TheStore();
    store.installed = std::move(installed);
    store.partByName.clear();
    store.programmerById.clear();
    // Filled from the end: the first entry of a name wins, as a walk from the start would find it.
    for (std::size_t i = store.installed.parts.size(); i-- > 0;)
        store.partByName.insert(store.installed.parts[i].name, i);
    for (std::size_t i = store.installed.programmers.size(); i-- > 0;)
        store.programmerById.insert(store.installed.programmers[i].id, i);
}

const InstalledPart *FindInstalledPart(QStringView name)
{
    const Store_ &store = TheStore();
    const auto found = store.partByName.constFind(name.toString());
    return found == store.partByName.cend() ? nullptr : &store.installed.parts[*found];
}

const InstalledProgrammer *FindInstalledProgrammer(QStringView id)
{
    const Store_ &store = TheStore();
    const auto found = store.programmerById.constFind(id.toString());
    return found == store.programmerById.cend() ? nullptr : &store.installed.programmers[*found];
}

QStringList PartsWithSignature(QStringView signature)
{
    QStringList names;
    for (const InstalledPart &p : Store().parts)
        if (!p.signature.isEmpty() && p.signature.compare(signature, Qt::CaseInsensitive) == 0)
            names << p.name;
    return names;
}

}  // namespace compose
