#include "compose/installed.h"

#include <QHash>
#include <QRegularExpression>

namespace compose {
namespace {

InstalledAvrdude &Store()
{
    static InstalledAvrdude installed;
    return installed;
}

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
        parts.push_back({name, {}, {}, {}});
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
        }
    }
    // A part without its code cannot be asked for by name.
    std::erase_if(parts, [](const InstalledPart &p) { return p.code.isEmpty() || p.name.isEmpty(); });
    return parts;
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
            programmers.push_back({m.captured(1), m.captured(2)});
    }
    return programmers;
}

const InstalledAvrdude &Installed() { return Store(); }

void SetInstalled(InstalledAvrdude installed) { Store() = std::move(installed); }

const InstalledPart *FindInstalledPart(QStringView name)
{
    for (const InstalledPart &p : Store().parts)
        if (p.name == name)
            return &p;
    return nullptr;
}

const InstalledProgrammer *FindInstalledProgrammer(QStringView id)
{
    for (const InstalledProgrammer &p : Store().programmers)
        if (p.id == id)
            return &p;
    return nullptr;
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
