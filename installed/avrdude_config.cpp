#include "installed/avrdude_config.h"

#include "installed/installed_avrdude.h"
#include "runner/tool_query.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace installed {
namespace {

constexpr int kAnswerTimeoutMs = 5000;
constexpr int kKeptAnswers = 8;

bool IsRegular(const QString &path)
{
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode);
}

QString Absolute(const QString &path) { return path.isEmpty() ? path : QDir::current().absoluteFilePath(path); }

QByteArray FileKey(const QString &path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QFile::encodeName(path) + "\t-\n";
    return QFile::encodeName(path) + QStringLiteral("\t%1\t%2.%3\t%4\t%5\n")
                                         .arg(info.st_size)
                                         .arg(info.st_mtim.tv_sec)
                                         .arg(info.st_mtim.tv_nsec)
                                         .arg(info.st_ino)
                                         .arg(info.st_dev)
                                         .toLatin1();
}

}  // namespace

QStringList ConfigFiles::UserFiles() const
{
    QStringList out;
    if (systemGiven)
        out << system;
    if (!user.isEmpty())
        out << user;
    return out + added;
}

QByteArray ConfigFiles::Key() const
{
    QByteArray key = "system " + FileKey(system);
    if (!user.isEmpty())
        key += "user " + FileKey(user);
    for (const QString &file : added)
        key += "added " + FileKey(file);
    for (const QString &file : candidates)
        key += "looked " + FileKey(file);
    return key;
}

QString UserConfigFile(const QProcessEnvironment &env, QStringList *candidates)
{
    const QString home = env.value(QStringLiteral("HOME"));
    const QString xdg = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    const QString base = !xdg.isEmpty() ? xdg : !home.isEmpty() ? home + QStringLiteral("/.config") : QString();
    const QString rc = base.isEmpty() ? QString() : base + QStringLiteral("/avrdude/avrdude.rc");
    const QString dot = home.isEmpty() ? QString() : home + QStringLiteral("/.avrduderc");
    if (candidates) {
        for (const QString &place : {rc, dot})
            if (!place.isEmpty())
                *candidates << place;
    }
    if (!rc.isEmpty() && IsRegular(rc))
        return rc;
    if (!dot.isEmpty() && IsRegular(dot))
        return dot;
    return {};
}

ConfigFiles LineConfigFiles(const QStringList &dashC, const QString &ownSystem, const QProcessEnvironment &env)
{
    ConfigFiles files;
    files.system = ownSystem;
    for (const QString &c : dashC) {
        if (c.startsWith(u'+')) {
            files.added << Absolute(c.mid(1));
        } else {
            files.system = Absolute(c);
            files.systemGiven = true;
        }
    }
    files.user = UserConfigFile(env, &files.candidates);
    return files;
}

std::optional<std::vector<compose::InstalledPart>> AskParts(const QString &program, const ConfigFiles &files,
                                                            const QProcessEnvironment &env)
{
    QStringList args;
    if (!files.system.isEmpty())
        args << QStringLiteral("-C") << files.system;
    for (const QString &file : files.added)
        args << QStringLiteral("-C") << u'+' + file;
    args << QStringLiteral("-p") << QStringLiteral("*/St");
    const std::optional<QByteArray> answer = runner::QueryTool(program, args, kAnswerTimeoutMs, env);
    if (!answer)
        return std::nullopt;
    std::vector<compose::InstalledPart> parts = compose::ParseParts(*answer);
    if (parts.empty())
        return std::nullopt;
    return parts;
}

ConfiguredParts::ConfiguredParts(std::shared_ptr<const compose::Vocabulary> words) : words_(std::move(words)) {}

QByteArray ConfiguredParts::KeyNow(const QStringList &dashC, const QProcessEnvironment &env) const
{
    return LineConfigFiles(dashC, words_->installed().systemConfig, env).Key();
}

std::shared_ptr<const compose::Vocabulary> ConfiguredParts::Asked(const ConfigFiles &files, const QProcessEnvironment &env,
                                                                  QString *problem)
{
    const QByteArray key = files.Key();
    if (const auto found = asked_.constFind(key); found != asked_.cend())
        return *found;
    // Kept on the disk as avrdude's own answers are, keyed by the program and every file it read.
    const QByteArray diskKey = InstalledCacheKey(words_->installed().program) + "\t" + key.toHex();
    const QString cache = QDir(QStandardPaths::writableLocation(QStandardPaths::CacheLocation))
                              .filePath(QStringLiteral("avrdude-parts-%1.tsv")
                                            .arg(QString::fromLatin1(QCryptographicHash::hash(diskKey, QCryptographicHash::Sha1).toHex())));
    std::optional<std::vector<compose::InstalledPart>> parts;
    if (QFile file(cache); QFileInfo(cache).isFile() && file.open(QIODevice::ReadOnly))
        if (const auto kept = ParseInstalledCache(diskKey, file.readAll()); kept && !kept->parts.empty())
            parts = kept->parts;
    if (!parts) {
        parts = AskParts(words_->installed().program, files, env);
        if (parts) {
            QDir().mkpath(QFileInfo(cache).absolutePath());
            QSaveFile save(cache);
            compose::InstalledAvrdude answer;
            answer.parts = *parts;
            if (save.open(QIODevice::WriteOnly)) {
                save.write(InstalledCacheText(diskKey, answer));
                save.commit();
            }
            // The answers of the last few sets of files are kept; older ones go.
            const QDir folder(QFileInfo(cache).absolutePath());
            const QStringList kept = folder.entryList({QStringLiteral("avrdude-parts-*.tsv")}, QDir::Files, QDir::Time);
            for (qsizetype i = kKeptAnswers; i < kept.size(); ++i)
                QFile::remove(folder.filePath(kept[i]));
        }
    }
    if (!parts) {
        QStringList all{files.system};
        if (!files.user.isEmpty())
            all << files.user;
        all += files.added;
        *problem = QStringLiteral("avrdude gave no part data with the configuration files %1").arg(all.join(QStringLiteral(", ")));
        return nullptr;
    }
    compose::InstalledAvrdude installed = words_->installed();
    installed.parts = *parts;
    installed.configKey = key;
    if (asked_.size() >= kKeptAnswers)
        asked_.clear();
    auto words = std::make_shared<const compose::Vocabulary>(std::move(installed));
    asked_.insert(key, words);
    return words;
}

LineParts ConfiguredParts::For(const QStringList &dashC, const QProcessEnvironment &env)
{
    LineParts out;
    const compose::InstalledAvrdude &installed = words_->installed();
    if (installed.program.isEmpty() || installed.systemConfig.isEmpty()) {
        out.words = words_;  // no avrdude to ask: its files are not known
        return out;
    }
    out.known = true;
    const ConfigFiles files = LineConfigFiles(dashC, installed.systemConfig, env);
    out.key = files.Key();
    out.userFiles = files.UserFiles();
    out.words = out.key == installed.configKey ? words_ : Asked(files, env, &out.problem);
    if (out.userFiles.isEmpty()) {
        out.baseline = out.words;
        return out;
    }
    // avrdude's own file alone: a home of nobody's, so that no user's file is read.
    const QTemporaryDir nobody;
    QProcessEnvironment alone = env;
    alone.insert(QStringLiteral("HOME"), nobody.path());
    alone.remove(QStringLiteral("XDG_CONFIG_HOME"));
    ConfigFiles own;
    own.system = installed.systemConfig;
    QString ignored;
    out.baseline = Asked(own, alone, &ignored);
    return out;
}

}  // namespace installed
