#include "production/production_log.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace production {
namespace {

QString Field(QString text)
{
    text.replace(u'\n', u' ').replace(u'\r', u' ');
    if (!text.contains(u',') && !text.contains(u'"'))
        return text;
    return u'"' + text.replace(QLatin1String("\""), QLatin1String("\"\"")) + u'"';
}

}  // namespace

bool CheckLog(const QString &path, QString *error)
{
    // Opened as it will be, but without ever waiting: a FIFO with no reader fails at once, one with a
    // reader is refused below.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
    if (fd < 0) {
        *error = QStringLiteral("The log %1 cannot be written: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!regular)
        *error = QStringLiteral("The log %1 is not a regular file (a FIFO, a device or a folder): it cannot be kept there").arg(path);
    return regular;
}

bool AppendLog(const QString &path, const LogEntry &entry, QString *error)
{
    // Read as well, for its header; a log the user may only write is still written.
    const QByteArray name = QFile::encodeName(path);
    int fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
    if (fd < 0 && errno == EACCES)
        fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error)
            *error = QStringLiteral("The log %1 cannot be written: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno ? errno : EINVAL)));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    static const QByteArray kOldHeader = "time,part,signature,serial,result,step,error\n";
    QByteArray text;
    bool withStation = true;
    if (st.st_size == 0) {
        text += "time,part,signature,serial,result,step,error,station\n";
    } else {
        QByteArray head(kOldHeader.size(), '\0');
        withStation = ::pread(fd, head.data(), static_cast<size_t>(head.size()), 0) != head.size() || head != kOldHeader;
    }
    QStringList fields{Field(entry.time), Field(entry.part), Field(entry.signature), Field(entry.serial),
                       Field(entry.result), Field(entry.step), Field(entry.error)};
    if (withStation)
        fields << Field(entry.station);
    text += fields.join(u',').toUtf8() + '\n';
    // One write of the whole line, then to the disk: a line is there whole, or not at all.
    const ssize_t written = ::write(fd, text.constData(), static_cast<size_t>(text.size()));
    const bool ok = written == text.size() && ::fsync(fd) == 0;
    const int saved = errno;
    ::close(fd);
    if (!ok && error)
        *error = QStringLiteral("The log %1 cannot be written: %2").arg(path, QString::fromLocal8Bit(std::strerror(saved)));
    return ok;
}

}  // namespace production
