#pragma once
// The Arduino platform's key=value properties (boards.txt, platform.txt, programmers.txt, the IDE's
// own), and their expansion as the Arduino tools do it: every "{name}" replaced by that property,
// again and again until none is left that a property names, with a bound on the rounds and on the
// text's size, so that a cycle or a runaway expansion is an error and never a hang.
#include <QHash>
#include <QString>
#include <QStringList>

namespace boards {

class Properties {
public:
    // "key=value" lines; blank lines and lines starting with '#' are none. A key ending in ".linux"
    // stands for the key without it, as the tools take the running system's own.
    static Properties Parse(const QByteArray &text);

    void set(const QString &key, const QString &value);
    bool contains(const QString &key) const { return values_.contains(key); }
    QString value(const QString &key) const { return values_.value(key); }
    // The keys in the order they were first set.
    const QStringList &keys() const { return order_; }
    bool isEmpty() const { return order_.isEmpty(); }
    // The keys that start with `prefix`, with it taken off ("tools.avrdude." gives "cmd.path" ...).
    Properties subTree(const QString &prefix) const;
    // Every key of `over` set here, its value winning.
    void merge(const Properties &over);

    struct Expansion {
        QString text;
        QStringList unknown;  // the names of references no property gives, left as they stand
        QString error;        // a cycle or a runaway expansion: why; empty when it expanded
        bool ok() const { return error.isEmpty(); }
    };
    // `text` with its references expanded.
    Expansion expand(const QString &text) const;

    static constexpr int kMostRounds = 32;
    static constexpr qsizetype kLargestText = 64 * 1024;

private:
    QHash<QString, QString> values_;
    QStringList order_;
};

// A recipe split into words as the Arduino tools split it: at blanks, with double or single quotes
// grouping (and taken away).
QStringList SplitRecipe(const QString &text);

}  // namespace boards
