#pragma once
// An INI file read and written by section and key, with the platform profile functions' rules:
// names matched without regard to case, blanks around keys and values ignored, one pair of quotes
// around a whole value removed, every line that is not written to kept byte for byte. A value in
// another encoding than UTF-8 reads as Latin-1; writing the value it reads as leaves it as it was.
#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class IniFile {
public:
    static constexpr int kMaxValueLength = 2047;

    static IniFile Parse(const QByteArray &bytes);
    static IniFile Load(const QString &path);  // a missing or unreadable file reads as empty

    std::optional<QString> Value(const QString &section, const QString &key) const;
    QString ReadString(const QString &section, const QString &key, const QString &fallback) const;
    // Decimal, or hexadecimal after "$", "0x" or "0X"; anything else gives the fallback.
    int ReadInteger(const QString &section, const QString &key, int fallback) const;
    bool ReadBool(const QString &section, const QString &key, bool fallback) const;

    // Replaces the value where the key stands, or adds the key at the end of its section, adding
    // the section at the end of the file when it is missing.
    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value);

    QByteArray Bytes() const;
    // Replaces the file atomically: a failed save leaves the earlier file as it was.
    bool Save(const QString &path) const;

    // How a value is put in the file so that it reads back as it is.
    static QString Quoted(const QString &value);
    static std::optional<int> ParseInteger(const QString &text);

private:
    struct Line {
        QByteArray text;  // without its line break
        QByteArray end;   // "\n", "\r\n", "\r" or empty for a last line without one
    };
    // The index of the section's header line, or -1.
    qsizetype FindSection(const QString &section) const;
    // The index of the key's line within the section starting at `header`, or -1.
    qsizetype FindKey(qsizetype header, const QString &key) const;
    QByteArray LineBreak() const;

    QList<Line> lines_;
    bool bom_ = false;  // the file started with a UTF-8 byte order mark
};
