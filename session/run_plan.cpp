#include "session/run_plan.h"

#include "runner/command_split.h"
#include "runner/tool_run.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace session {
namespace {

bool SameFile(const QString &a, const QString &b)
{
    struct stat sa {}, sb {};
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0 &&
           sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool NamedAvrdude(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    return name == QLatin1String("avrdude") || name == QLatin1String("avrdude.exe");
}

// A copy's name: the file's own, in letters avrdude's -U reading cannot take for anything else
// (a colon would start the format).
QString CopyName(int number, const QString &path)
{
    QString name = QFileInfo(path).fileName();
    for (QChar &c : name)
        if (!(c.unicode() < 128 && (c.isLetterOrNumber() || c == u'.' || c == u'-' || c == u'_')))
            c = u'_';
    return QStringLiteral("%1-%2").arg(number).arg(name.left(64));
}

// The folder for the copies: the temporary folder when its path can stand in a -U argument.
QString CopiesBase()
{
    const QString temp = QDir::tempPath();
    if (!temp.isEmpty() && !temp.contains(u':') && QFileInfo(temp).isDir() && QFileInfo(temp).isWritable())
        return temp;
    return QStringLiteral("/tmp");
}

bool WriteReadOnly(const QString &path, const QByteArray &bytes)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    qint64 done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n <= 0) {
            ::close(fd);
            return false;
        }
        done += n;
    }
    const bool ok = ::fchmod(fd, 0400) == 0;
    return ::close(fd) == 0 && ok;
}

}  // namespace

QString ProgramQuestion(const QStringList &args, const compose::InstalledAvrdude &installed, QString *found)
{
    *found = args.isEmpty() ? QString() : runner::FindProgram(args.front(), runner::OwnDirectory(), runner::SearchPath());
    if (found->isEmpty())
        return {};  // nothing runs: the run says it could not start it
    if (installed.program.isEmpty() ? NamedAvrdude(*found) : SameFile(*found, installed.program))
        return {};
    if (NamedAvrdude(*found))
        return QStringLiteral("The line runs %1, not the avrdude Fusewerk knows the parts of (%2): its parts, memories "
                              "and options may differ, so Fusewerk cannot judge what it will do to the chip.")
            .arg(*found, installed.program);
    return QStringLiteral("Fusewerk cannot judge what `%1` will run: the line's program is %2, not avrdude, and "
                          "whatever it starts with the rest of the line runs unjudged.")
        .arg(QFileInfo(*found).fileName(), *found);
}

std::optional<RunPlan> PlanRun(const QStringList &args, const QString &program, const fuses::GateVerdict &verdict,
                               QString *error)
{
    RunPlan plan;
    plan.args = args;
    plan.bytes = verdict.bytes;
    if (!program.isEmpty() && !plan.args.isEmpty())
        plan.args.front() = program;
    struct Made {
        QString path;
        QByteArray digest;
        QString copy;
    };
    std::vector<Made> made;
    for (const fuses::JudgedFile &judged : verdict.files) {
        const images::MemoryFile &file = judged.file;
        if (judged.writtenByRun || !file.whole)
            continue;
        const compose::UpdateOperation &u = verdict.args.updates[judged.update];
        if (u.word <= 0 || u.word >= plan.args.size())
            continue;
        if (!plan.copies) {
            plan.copies = std::make_shared<QTemporaryDir>(CopiesBase() + QStringLiteral("/fusewerk-run-XXXXXX"));
            if (!plan.copies->isValid()) {
                *error = QStringLiteral("Fusewerk could not make a private folder for the copies of the line's files "
                                        "(%1): nothing was run.")
                             .arg(plan.copies->errorString());
                return std::nullopt;
            }
        }
        const QByteArray digest = QCryptographicHash::hash(file.source, QCryptographicHash::Sha256);
        QString copy;
        for (const Made &m : made)
            if (m.path == u.file && m.digest == digest)
                copy = m.copy;
        if (copy.isEmpty()) {
            copy = plan.copies->filePath(CopyName(static_cast<int>(made.size()) + 1, u.file));
            if (!WriteReadOnly(copy, file.source)) {
                *error = QStringLiteral("Fusewerk could not make its private copy of %1 (%2): nothing was run.")
                             .arg(u.file, QString::fromLocal8Bit(std::strerror(errno)));
                return std::nullopt;
            }
            made.push_back({u.file, digest, copy});
            plan.copied.insert(u.file, copy);
            plan.notes << QStringLiteral("  %1 stands for %2").arg(copy, u.file);
        }
        // The -U argument as it was, its file name alone replaced.
        QString &word = plan.args[u.word];
        word = word.left(u.at + u.fileAt) + copy + word.mid(u.at + u.fileAt + u.file.size());
    }
    if (!plan.notes.isEmpty())
        plan.notes.prepend(QStringLiteral("Fusewerk hands avrdude a private, read-only copy of each file it judged, so "
                                          "that exactly the bytes judged are written:"));
    return plan;
}

}  // namespace session
