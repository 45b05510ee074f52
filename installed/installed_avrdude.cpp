#include "installed/installed_avrdude.h"

#include "installed/avrdude_config.h"
#include "runner/command_split.h"
#include "runner/tool_query.h"
#include "runner/tool_run.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

constexpr int kAnswerTimeoutMs = 2000;

}  // namespace

namespace {

// Where avrdude 7.1 may find its system-wide file: beside itself, in ../etc, or where it was built to.
QStringList SystemConfigPlaces(const QString &program)
{
    const QString dir = QFileInfo(program).absolutePath();
    return {QDir::cleanPath(dir + QStringLiteral("/../etc/avrdude.conf")), dir + QStringLiteral("/avrdude.conf"),
            QStringLiteral("/etc/avrdude.conf"), QStringLiteral("/usr/local/etc/avrdude.conf")};
}

}  // namespace

QByteArray InstalledCacheKey(const QString &path)
{
    const QFileInfo info(path);
    // The configuration files it reads, and every place one could appear, are part of the key: a
    // changed or new file is asked about afresh.
    installed::ConfigFiles files = installed::LineConfigFiles({}, QString(), runner::ToolEnvironment());
    files.candidates += SystemConfigPlaces(path);
    return QStringLiteral("fusewerk-avrdude-cache 7\t%1\t%2\t%3\t")
               .arg(info.absoluteFilePath())
               .arg(info.size())
               .arg(info.lastModified().toMSecsSinceEpoch())
               .toUtf8() +
           files.Key().toHex();
}

namespace {

compose::InstalledAvrdude AskAvrdude(const QString &path)
{
    compose::InstalledAvrdude installed;
    if (const auto parts = runner::QueryTool(path, {QStringLiteral("-p"), QStringLiteral("*/St")}, kAnswerTimeoutMs))
        installed.parts = compose::ParseParts(*parts);
    if (const auto programmers = runner::QueryTool(path, {QStringLiteral("-c"), QStringLiteral("?")}, kAnswerTimeoutMs))
        installed.programmers = compose::ParseProgrammers(*programmers);
    // Which programmers reach the chip only through a bootloader (an avrdude that did not answer
    // the questions before is not asked a third time).
    if (installed.programmers.empty())
        return installed;
    // The system-wide file it reads by itself, as it says it.
    if (const auto says = runner::QueryTool(path, {QStringLiteral("-v")}, kAnswerTimeoutMs))
        for (const QByteArray &line : says->split('\n'))
            if (const qsizetype at = line.indexOf("System wide configuration file is "); at >= 0)
                installed.systemConfig = QString::fromLocal8Bit(line.mid(at + 34).trimmed()).remove(u'"');
    if (const auto modes = runner::QueryTool(path, {QStringLiteral("-c"), QStringLiteral("*/St")}, kAnswerTimeoutMs))
        compose::ReadProgrammerModes(*modes, installed.programmers);
    return installed;
}

}  // namespace

QByteArray InstalledCacheText(const QByteArray &key, const compose::InstalledAvrdude &installed)
{
    QByteArray out = key + '\n';
    for (const auto &p : installed.parts) {
        // name=size@offset for each memory, alias=memory for each alias, in avrdude's order.
        QStringList memories, aliases;
        for (const compose::PartMemory &m : p.memories)
            memories << QStringLiteral("%1=%2@%3").arg(m.name).arg(m.size).arg(m.offset) +
                            (m.ops.isEmpty() ? QString() : u'#' + m.ops);
        for (const compose::MemoryAlias &a : p.aliases)
            aliases << QStringLiteral("%1=%2").arg(a.name, a.memory);
        out += QStringList{QStringLiteral("P"), p.name, p.code, p.signature, memories.join(u','), aliases.join(u','),
                           p.modes.join(u'|')}
                   .join(u'\t')
                   .toUtf8() +
               '\n';
    }
    for (const auto &p : installed.programmers) {
        QStringList products;
        for (const quint16 pid : p.usbProducts)
            products << QString::number(pid, 16);
        out += QStringList{QStringLiteral("C"), p.id, p.description, p.modes.join(u'|'), QString::number(p.usbVendor, 16),
                           products.join(u','), p.usbVendorName, p.usbProductName}
                   .join(u'\t')
                   .toUtf8() +
               '\n';
    }
    out += QStringLiteral("S\t%1\n").arg(installed.systemConfig).toUtf8();
    // The counts close the file: one cut short is told by their absence, or by lines missing.
    out += QStringLiteral("E\t%1\t%2\n").arg(installed.parts.size()).arg(installed.programmers.size()).toUtf8();
    return out;
}

std::optional<compose::InstalledAvrdude> ParseInstalledCache(const QByteArray &key, const QByteArray &text)
{
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines.front() != key)
        return std::nullopt;
    compose::InstalledAvrdude installed;
    bool complete = false;
    for (const QByteArray &line : lines.mid(1)) {
        const QStringList f = QString::fromUtf8(line).split(u'\t');
        if (f.size() == 7 && f[0] == QLatin1String("P")) {
            compose::InstalledPart part{f[1], f[2], f[3], {}, {}};
            for (const QString &entry : f[4].split(u',', Qt::SkipEmptyParts)) {
                const QString m = entry.section(u'#', 0, 0);
                part.memories.push_back({m.section(u'=', 0, 0), m.section(u'=', 1).section(u'@', 0, 0).toLongLong(),
                                         m.section(u'@', 1).toLongLong(), entry.section(u'#', 1)});
            }
            for (const QString &a : f[5].split(u',', Qt::SkipEmptyParts))
                part.aliases.push_back({a.section(u'=', 0, 0), a.section(u'=', 1)});
            part.modes = f[6].split(u'|', Qt::SkipEmptyParts);
            installed.parts.push_back(std::move(part));
        } else if (f.size() == 8 && f[0] == QLatin1String("C")) {
            const QStringList modes = f[3].split(u'|', Qt::SkipEmptyParts);
            compose::InstalledProgrammer p{f[1], f[2], modes == QStringList{QStringLiteral("PM_SPM")}, modes};
            p.usbVendor = static_cast<quint16>(f[4].toUInt(nullptr, 16));
            for (const QString &pid : f[5].split(u',', Qt::SkipEmptyParts))
                p.usbProducts << static_cast<quint16>(pid.toUInt(nullptr, 16));
            p.usbVendorName = f[6];
            p.usbProductName = f[7];
            installed.programmers.push_back(std::move(p));
        }
        else if (f.size() == 2 && f[0] == QLatin1String("S"))
            installed.systemConfig = f[1];
        else if (f.size() == 3 && f[0] == QLatin1String("E"))
            complete = f[1] == QString::number(installed.parts.size()) &&
                       f[2] == QString::number(installed.programmers.size());
    }
    if (!complete)
        return std::nullopt;  // cut short: asked afresh
    return installed;
}

namespace {

// Where the answers came from, which the gate compares each line's program and files with.
compose::InstalledAvrdude Placed(compose::InstalledAvrdude installed, const QString &path)
{
    installed.program = QFileInfo(path).absoluteFilePath();
    if (!installed.systemConfig.isEmpty())
        installed.configKey = installed::LineConfigFiles({}, installed.systemConfig, runner::ToolEnvironment()).Key();
    return installed;
}

}  // namespace

compose::InstalledAvrdude LoadInstalledAvrdude(const QString &avrdudePath, const QString &cacheFile)
{
    const QByteArray key = InstalledCacheKey(avrdudePath);
    QFile cached(cacheFile);
    // Only a regular file is read: opening a FIFO would wait for a writer for ever. Anything else is
    // replaced by the fresh answer.
    if (QFileInfo(cacheFile).isFile() && cached.open(QIODevice::ReadOnly))
        if (auto installed = ParseInstalledCache(key, cached.readAll()))
            return Placed(*installed, avrdudePath);
    compose::InstalledAvrdude installed = AskAvrdude(avrdudePath);
    if (installed.parts.empty() || installed.programmers.empty())
        return installed;  // not the whole answer: ask again next time
    QDir().mkpath(QFileInfo(cacheFile).absolutePath());
    QSaveFile save(cacheFile);
    if (save.open(QIODevice::WriteOnly)) {
        save.write(InstalledCacheText(key, installed));
        save.commit();  // a cache that could not be written is asked for again next time
    }
    return Placed(installed, avrdudePath);
}

compose::InstalledAvrdude AskInstalledAvrdude()
{
    const QString path = runner::FindProgram(QStringLiteral("avrdude.exe"), runner::OwnDirectory(), runner::SearchPath());
    if (path.isEmpty())
        return compose::InstalledAvrdude{};
    const QString cache = QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
                              .filePath(QStringLiteral("avrdude-vocabulary.tsv"));
    return LoadInstalledAvrdude(path, cache);
}
