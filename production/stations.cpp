#include "production/stations.h"

#include "compose/quoting.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace production {

QString Station::extraOptions() const
{
    QStringList words;
    if (!baud.isEmpty())
        words << QStringLiteral("-b") << compose::QuoteWord(baud);
    if (!bitClock.isEmpty())
        words << QStringLiteral("-B") << compose::QuoteWord(bitClock);
    for (const QString &x : extended)
        words << QStringLiteral("-x") << compose::QuoteWord(x);
    return words.join(u' ');
}

QString Station::text() const
{
    QString out = QStringLiteral("-c ") + compose::QuoteWord(programmer);
    if (!port.isEmpty())
        out += QStringLiteral(" -P ") + compose::QuoteWord(port);
    if (const QString extra = extraOptions(); !extra.isEmpty())
        out += u' ' + extra;
    return out;
}

std::optional<Station> ParseStation(const QStringList &words, QString *error)
{
    Station station;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString &word = words[i];
        const QChar flag = word.size() >= 2 && word[0] == u'-' ? word[1] : QChar();
        if (!QStringLiteral("cPbBx").contains(flag) || flag.isNull()) {
            *error = QStringLiteral("\"%1\": a station's options are -c, -P, -b, -B and -x only").arg(word);
            return std::nullopt;
        }
        QString value = word.mid(2);
        if (value.isEmpty()) {
            if (i + 1 >= words.size()) {
                *error = QStringLiteral("%1 wants a value").arg(word);
                return std::nullopt;
            }
            value = words[++i];
        }
        if (value.isEmpty() || value.startsWith(u'-')) {
            // avrdude would take "-U..." as the value: what the user meant is another option.
            *error = value.isEmpty() ? QStringLiteral("%1 wants a value").arg(word)
                                     : QStringLiteral("-%1 wants a value, not the option %2").arg(flag).arg(value);
            return std::nullopt;
        }
        switch (flag.unicode()) {
        case u'c': station.programmer = value; break;
        case u'P': station.port = value; break;
        case u'b': station.baud = value; break;
        case u'B': station.bitClock = value; break;
        default: station.extended << value; break;
        }
    }
    if (station.programmer.isEmpty()) {
        *error = QStringLiteral("a station needs its programmer (-c)");
        return std::nullopt;
    }
    return station;
}

std::optional<std::uint32_t> SerialBook::peek() const
{
    if (!free.empty())
        return *free.begin();
    if (exhausted)
        return std::nullopt;
    return next;
}

QString FormatFree(const std::set<std::uint32_t> &free)
{
    QStringList out;
    for (const std::uint32_t n : free)
        out << QString::number(n);
    return out.join(u',');
}

QString FormatPending(const std::map<std::uint32_t, QString> &pending)
{
    QStringList out;
    for (const auto &[n, station] : pending)
        out << QString::number(n) + u'@' + QString::fromLatin1(QUrl::toPercentEncoding(station));
    return out.join(u',');
}

std::set<std::uint32_t> ParseFree(const QString &text)
{
    std::set<std::uint32_t> out;
    for (const QString &part : text.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const qulonglong n = part.trimmed().toULongLong(&ok);
        if (ok && n <= 0xFFFFFFFFull)
            out.insert(static_cast<std::uint32_t>(n));
    }
    return out;
}

std::map<std::uint32_t, QString> ParsePending(const QString &text)
{
    std::map<std::uint32_t, QString> out;
    for (const QString &part : text.split(u',', Qt::SkipEmptyParts)) {
        const qsizetype at = part.indexOf(u'@');
        bool ok = false;
        const qulonglong n = part.left(at).trimmed().toULongLong(&ok);
        if (ok && n <= 0xFFFFFFFFull)
            out[static_cast<std::uint32_t>(n)] = at < 0 ? QString() : QUrl::fromPercentEncoding(part.mid(at + 1).toLatin1());
    }
    return out;
}

QString FormatBook(const SerialBook &book)
{
    return QStringLiteral("first=%1\nnext=%2\n%3free=%4\npending=%5\n")
        .arg(book.first)
        .arg(book.next)
        .arg(book.exhausted ? QStringLiteral("exhausted=yes\n") : QString())
        .arg(FormatFree(book.free), FormatPending(book.pending));
}

std::optional<SerialBook> ParseBook(const QString &text, QString *error)
{
    SerialBook book;
    bool sawNext = false;
    for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts)) {
        const qsizetype eq = line.indexOf(u'=');
        const QString key = line.left(eq).trimmed(), value = line.mid(eq + 1).trimmed();
        bool ok = true;
        if (key == QLatin1String("first") || key == QLatin1String("next")) {
            const qulonglong n = value.toULongLong(&ok);
            ok = ok && n <= 0xFFFFFFFFull;
            (key == QLatin1String("first") ? book.first : book.next) = static_cast<std::uint32_t>(n);
            sawNext = sawNext || key == QLatin1String("next");
        } else if (key == QLatin1String("exhausted")) {
            book.exhausted = value == QLatin1String("yes");
        } else if (key == QLatin1String("free")) {
            book.free = ParseFree(value);
        } else if (key == QLatin1String("pending")) {
            book.pending = ParsePending(value);
        } else {
            ok = false;
        }
        if (!ok || eq < 0) {
            *error = QStringLiteral("the line \"%1\" is not one of the serial numbers' book").arg(line);
            return std::nullopt;
        }
    }
    if (!sawNext) {
        *error = QStringLiteral("it names no next serial number");
        return std::nullopt;
    }
    return book;
}

bool SaveBookFile(const QString &path, const SerialBook &book, QString *error)
{
    const QByteArray text = FormatBook(book).toUtf8();
    const QByteArray target = QFile::encodeName(path), temp = target + ".new";
    const auto fail = [&](const char *what) {
        *error = QStringLiteral("the serial numbers' book %1 cannot be %2: %3").arg(path, QLatin1String(what), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    };
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0)
        return fail("written");
    const bool whole = ::write(fd, text.constData(), static_cast<size_t>(text.size())) == text.size() && ::fsync(fd) == 0;
    ::close(fd);
    if (!whole || ::rename(temp.constData(), target.constData()) != 0) {
        const int saved = errno;
        ::unlink(temp.constData());
        errno = saved;
        return fail("written");
    }
    // The rename itself is kept once the folder is.
    if (const int dir = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

std::optional<SerialBook> LoadBookFile(const QString &path, bool *found, QString *error)
{
    QFile file(path);
    *found = file.exists();
    if (!*found)
        return SerialBook{};
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the serial numbers' book %1 cannot be read: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QString why;
    std::optional<SerialBook> book = ParseBook(QString::fromUtf8(file.read(64 * 1024)), &why);
    if (!book)
        *error = QStringLiteral("the serial numbers' book %1 is damaged: %2").arg(path, why);
    return book;
}

bool SerialLedger::kept(const SerialBook &changed, QString *error)
{
    QString why;
    if (keep_ && !keep_(changed, &why)) {
        if (error)
            *error = why;
        return false;
    }
    book_ = changed;
    return true;
}

std::map<std::uint32_t, QString> SerialLedger::reclaim(QString *error)
{
    if (book_.pending.empty())
        return {};
    SerialBook changed = book_;
    for (const auto &entry : changed.pending)
        changed.free.insert(entry.first);
    std::map<std::uint32_t, QString> reclaimed;
    reclaimed.swap(changed.pending);
    if (!kept(changed, error))
        return {};
    return reclaimed;
}

std::optional<std::uint32_t> SerialLedger::take(const QString &station, QString *error)
{
    const std::optional<std::uint32_t> number = book_.peek();
    if (!number) {
        *error = QStringLiteral("the serial numbers are used up (the last is 4294967295)");
        return std::nullopt;
    }
    SerialBook changed = book_;
    if (!changed.free.empty())
        changed.free.erase(changed.free.begin());
    else if (changed.next == 0xFFFFFFFFu)
        changed.exhausted = true;
    else
        ++changed.next;
    changed.pending[*number] = station;
    if (!kept(changed, error))
        return std::nullopt;
    return number;
}

bool SerialLedger::confirm(std::uint32_t number, QString *error)
{
    SerialBook changed = book_;
    changed.pending.erase(number);
    return kept(changed, error);
}

bool SerialLedger::giveBack(std::uint32_t number, QString *error)
{
    SerialBook changed = book_;
    if (changed.pending.erase(number) == 0)
        return true;
    changed.free.insert(number);
    return kept(changed, error);
}

}  // namespace production
