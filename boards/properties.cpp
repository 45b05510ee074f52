#include "boards/properties.h"

namespace boards {

Properties Properties::Parse(const QByteArray &text)
{
    Properties out;
    QStringList local;  // keys of the running system's own (".linux"), applied after the rest
    for (const QByteArray &raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const qsizetype eq = line.indexOf(u'=');
        if (line.isEmpty() || line.startsWith(u'#') || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed();
        out.set(key, line.mid(eq + 1).trimmed());
        if (key.endsWith(QLatin1String(".linux")))
            local << key;
    }
    for (const QString &key : local)
        out.set(key.chopped(6), out.value(key));
    return out;
}

void Properties::set(const QString &key, const QString &value)
{
    if (!values_.contains(key))
        order_ << key;
    values_.insert(key, value);
}

Properties Properties::subTree(const QString &prefix) const
{
    Properties out;
    for (const QString &key : order_)
        if (key.startsWith(prefix) && key.size() > prefix.size())
            out.set(key.mid(prefix.size()), values_.value(key));
    return out;
}

void Properties::merge(const Properties &over)
{
    for (const QString &key : over.order_)
        set(key, over.values_.value(key));
}

Properties::Expansion Properties::expand(const QString &text) const
{
    Expansion out;
    out.text = text;
    // Each round replaces every reference a property gives, with the property's own text; the
    // next round takes what that brought in.
    for (int round = 0;; ++round) {
        QString next;
        bool replaced = false;
        qsizetype at = 0;
        while (at < out.text.size()) {
            const qsizetype open = out.text.indexOf(u'{', at);
            const qsizetype close = open < 0 ? -1 : out.text.indexOf(u'}', open + 1);
            if (open < 0 || close < 0) {
                next += QStringView(out.text).mid(at);
                break;
            }
            const QString name = out.text.mid(open + 1, close - open - 1);
            next += QStringView(out.text).mid(at, open - at);
            if (!name.contains(u'{') && values_.contains(name)) {
                next += values_.value(name);
                replaced = true;
                at = close + 1;
            } else {
                next += u'{';
                at = open + 1;
            }
            if (next.size() > kLargestText) {
                out.error = QStringLiteral("its properties expand past %1 KB (a property that holds itself over and over)")
                                .arg(kLargestText / 1024);
                return out;
            }
        }
        out.text = next;
        if (!replaced)
            break;
        if (round + 1 >= kMostRounds) {
            QStringList still;
            for (qsizetype open = out.text.indexOf(u'{'); open >= 0; open = out.text.indexOf(u'{', open + 1)) {
                const qsizetype close = out.text.indexOf(u'}', open);
                const QString name = close < 0 ? QString() : out.text.mid(open + 1, close - open - 1);
                if (values_.contains(name) && !still.contains(name))
                    still << name;
            }
            out.error = QStringLiteral("its properties refer to each other in a circle ({%1})").arg(still.join(QStringLiteral("}, {")));
            return out;
        }
    }
    for (qsizetype open = out.text.indexOf(u'{'); open >= 0; open = out.text.indexOf(u'{', open + 1)) {
        const qsizetype close = out.text.indexOf(u'}', open);
        if (close < 0)
            break;
        const QString name = out.text.mid(open + 1, close - open - 1);
        if (!name.isEmpty() && !name.contains(u'{') && !name.contains(u' ') && !out.unknown.contains(name))
            out.unknown << name;
    }
    return out;
}

QStringList SplitRecipe(const QString &text)
{
    QStringList words;
    QString word;
    bool inWord = false;
    QChar quote;
    for (const QChar c : text) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            else
                word += c;
            continue;
        }
        if (c == u'"' || c == u'\'') {
            quote = c;
            inWord = true;
        } else if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r') {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

}  // namespace boards
