#include "settings/ini_file.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray TrimBlanks(QByteArray text)
{
    qsizetype b = 0, e = text.size();
    while (b < e && (text[b] == ' ' || text[b] == '\t'))
        ++b;
    while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t'))
        --e;
    return text.mid(b, e - b);
}

// The name of a section header line ("[name]"), or nothing.
std::optional<QString> SectionName(const QByteArray &line)
{
    const QByteArray t = TrimBlanks(line);
    if (!t.startsWith('['))
        return std::nullopt;
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return std::nullopt;
    return QString::fromUtf8(TrimBlanks(t.mid(1, close - 1)));
}

// A value as text: UTF-8 when its bytes are valid UTF-8, otherwise the 8-bit code page of a file
// written on the original platform, read as Latin-1 so that it shows as it was written.
QString Decoded(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

bool SameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

std::optional<QString> KeyName(const QByteArray &line)
{
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    return QString::fromUtf8(TrimBlanks(line.left(eq)));
}

}  // namespace

IniFile IniFile::Parse(const QByteArray &bytes)
{
    IniFile ini;
    qsizetype pos = 0;
    // A byte order mark, as some editors write it, is no part of the first line; it is written back.
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        ini.bom_ = true;
        pos = 3;
    }
    // CR LF, LF and a lone CR each end a line; each line keeps its own ending.
    while (pos < bytes.size()) {
        qsizetype end = pos;
        while (end < bytes.size() && bytes[end] != '\n' && bytes[end] != '\r')
            ++end;
        Line line;
        line.text = bytes.mid(pos, end - pos);
        if (end < bytes.size())
            line.end = bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? "\r\n"
                                                                                            : bytes.mid(end, 1);
        pos = end + line.end.size();
        ini.lines_.append(line);
    }
    return ini;
}

IniFile IniFile::Load(const QString &path)
{
    // Only a regular file (or a link to one) is opened: a FIFO would block the start for ever. Such
    // a file reads as empty, and Save refuses to write it.
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    return Parse(file.readAll());
}

qsizetype IniFile::FindSection(const QString &section) const
{
    for (qsizetype i = 0; i < lines_.size(); ++i)
        if (const auto name = SectionName(lines_[i].text); name && SameName(*name, section))
            return i;
    return -1;
}

qsizetype IniFile::FindKey(qsizetype header, const QString &key) const
{
    for (qsizetype i = header + 1; i < lines_.size(); ++i) {
        if (SectionName(lines_[i].text))
            break;
        if (const auto name = KeyName(lines_[i].text); name && SameName(*name, key))
            return i;
    }
    return -1;
}

std::optional<QString> IniFile::Value(const QString &section, const QString &key) const
{
    const qsizetype header = FindSection(section);
    if (header < 0)
        return std::nullopt;
    const qsizetype at = FindKey(header, key);
    if (at < 0)
        return std::nullopt;
    const QByteArray &line = lines_[at].text;
    QString value = Decoded(TrimBlanks(line.mid(line.indexOf('=') + 1)));
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.left(kMaxValueLength);
}

QString IniFile::ReadString(const QString &section, const QString &key, const QString &fallback) const
{
    return Value(section, key).value_or(fallback);
}

std::optional<int> IniFile::ParseInteger(const QString &text)
{
    const QString t = text.trimmed();
    bool ok = false;
    if (t.startsWith(QLatin1Char('$')) || t.startsWith(QLatin1String("0x")) || t.startsWith(QLatin1String("0X"))) {
        const QString digits = t.mid(t.startsWith(QLatin1Char('$')) ? 1 : 2);
        if (digits.isEmpty() || digits.front() == u'+' || digits.front() == u'-')
            return std::nullopt;
        const uint value = digits.toUInt(&ok, 16);
        return ok ? std::optional<int>(static_cast<int>(value)) : std::nullopt;
    }
    const int value = t.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

int IniFile::ReadInteger(const QString &section, const QString &key, int fallback) const
{
    const auto value = Value(section, key);
    if (!value)
        return fallback;
    return ParseInteger(*value).value_or(fallback);
}

bool IniFile::ReadBool(const QString &section, const QString &key, bool fallback) const
{
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

QString IniFile::Quoted(const QString &value)
{
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    const bool edgeBlank = !value.isEmpty() && (blank(value.front()) || blank(value.back()));
    const bool enclosed = value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
                          value.back() == value.front();
    return edgeBlank || enclosed ? QLatin1Char('"') + value + QLatin1Char('"') : value;
}

QByteArray IniFile::LineBreak() const
{
    for (const Line &line : lines_)
        if (!line.end.isEmpty())
            return line.end;
    return "\n";
}

void IniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    // A line break cannot stand in a value; the window's one-line fields never hold one.
    QString oneLine = value;
    oneLine.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QByteArray text = key.toUtf8() + '=' + Quoted(oneLine).toUtf8();
    const QByteArray lineBreak = LineBreak();
    qsizetype header = FindSection(section);
    if (header < 0) {
        if (!lines_.isEmpty() && lines_.back().end.isEmpty())
            lines_.back().end = lineBreak;
        lines_.append({'[' + section.toUtf8() + ']', lineBreak});
        lines_.append({text, lineBreak});
        return;
    }
    if (const qsizetype at = FindKey(header, key); at >= 0) {
        // A value that reads as it would be written stays byte for byte, in whatever encoding it has.
        if (Value(section, key) != oneLine.left(kMaxValueLength) || oneLine.size() > kMaxValueLength)
            lines_[at].text = text;
        return;
    }
    // After the section's last key line; blank lines and comments after it stay where they are.
    qsizetype last = header;
    for (qsizetype i = header + 1; i < lines_.size() && !SectionName(lines_[i].text); ++i)
        if (KeyName(lines_[i].text))
            last = i;
    if (lines_[last].end.isEmpty())
        lines_[last].end = lineBreak;
    lines_.insert(last + 1, {text, lineBreak});
}

void IniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

QByteArray IniFile::Bytes() const
{
    QByteArray out = bom_ ? QByteArray("\xEF\xBB\xBF") : QByteArray();
    for (const Line &line : lines_)
        out += line.text + line.end;
    return out;
}

bool IniFile::Save(const QString &path) const
{
    // A link is followed: its target is the settings file, replaced in its own folder.
    QString file = path;
    for (int hops = 0; hops < 40 && QFileInfo(file).isSymLink(); ++hops)
        file = QFileInfo(file).symLinkTarget();
    const QByteArray target = QFile::encodeName(file);

    // The file keeps its mode and owner; a file its user may not write (read-only, or another's) is
    // not written, even by one who could replace it.
    struct stat old {};
    const bool existed = ::stat(target.constData(), &old) == 0;
    if (existed && (!S_ISREG(old.st_mode) || ::access(target.constData(), W_OK) != 0 ||
                    (old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0))
        return false;

    // Written beside the file under another name, flushed to disk, then renamed over it: every
    // write is checked, so a full disk or a size limit leaves the earlier file as it was.
    QByteArray temp = target + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return false;
    const QByteArray bytes = Bytes();
    bool ok = true;
    for (qsizetype done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            ok = false;
    }
    if (existed) {
        // Where the process may not give the file to its owner (only root may), it stays its own.
        [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
    }
    ok = ok && ::fchmod(fd, existed ? (old.st_mode & 07777) : 0644) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && std::rename(temp.constData(), target.constData()) == 0;
    if (!ok)
        ::unlink(temp.constData());
    return ok;
}
