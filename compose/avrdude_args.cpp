#include "compose/avrdude_args.h"

namespace compose {
namespace {

// avrdude 7.1's getopt option string: a letter followed by ':' takes an argument.
constexpr char kOptions[] = "?Ab:B:c:C:DeE:Fi:l:np:OP:qstU:uvVx:yY:";

// 0: not an option; 1: a flag; 2: takes an argument.
int Kind(QChar letter)
{
    if (letter.unicode() > 127 || letter == u':')
        return 0;
    for (const char *c = kOptions; *c; ++c)
        if (*c == letter.toLatin1())
            return c[1] == ':' ? 2 : 1;
    return 0;
}

}  // namespace

QStringList AvrdudeArguments::Writes() const
{
    QStringList out;
    if (erase)
        out << QStringLiteral("-e");
    if (calibrate)
        out << QStringLiteral("-O");
    for (const UpdateOperation &u : updates)
        if (u.op == u'w')
            out << QStringLiteral("-U %1").arg(u.argument);
    return out;
}

UpdateOperation ParseUpdate(const QString &argument)
{
    UpdateOperation out;
    out.argument = argument;
    const qsizetype colon = argument.indexOf(u':');
    if (colon < 0) {  // a file name alone: written to the default memory, its format detected
        out.op = u'w';
        out.file = argument;
        out.fileAt = 0;
        out.format = u'a';
        return out;
    }
    out.memory = argument.left(colon);
    const QString rest = argument.mid(colon + 1);
    out.op = rest.isEmpty() ? QChar() : rest[0];
    if (out.op != u'r' && out.op != u'w' && out.op != u'v') {
        out.error = QStringLiteral("\"%1\": the operation is not r, w or v").arg(argument);
        return out;
    }
    if (rest.size() < 2 || rest[1] != u':') {
        out.error = QStringLiteral("\"%1\" is no memory:op:file[:format]").arg(argument);
        return out;
    }
    // The file ends at the last colon, which starts the format; without one, the whole rest.
    const QString file = rest.mid(2);
    out.fileAt = colon + 3;
    const qsizetype last = file.lastIndexOf(u':');
    if (last < 0) {
        out.file = file;
        out.format = out.op == u'r' ? u'r' : u'a';
        return out;
    }
    out.file = file.left(last);
    const QString format = file.mid(last + 1);
    static const QString kFormats = QStringLiteral("asiremdbho");
    if (format.size() != 1 || !kFormats.contains(format[0])) {
        out.error = QStringLiteral("\"%1\": \"%2\" is no file format").arg(argument, format);
        return out;
    }
    out.format = format[0];
    return out;
}

AvrdudeArguments ParseAvrdudeArguments(const QStringList &args)
{
    AvrdudeArguments out;
    const auto take = [&](QChar option, const QString &value, qsizetype word, qsizetype at) {
        switch (option.toLatin1()) {
        case 'p':
            out.part = value;
            out.hasPart = true;
            break;
        case 'c':
            out.programmer = value;
            out.hasProgrammer = true;
            break;
        case 'C':
            out.configs << value;
            break;
        case 'l':
            out.logFile = value;
            out.hasLog = true;
            break;
        case 'U': {
            UpdateOperation update = ParseUpdate(value);
            update.word = word;
            update.at = at;
            if (!update.error.isEmpty())
                out.problems << update.error;
            out.updates.push_back(std::move(update));
            break;
        }
        default:
            break;
        }
    };
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString &word = args[i];
        if (word == QLatin1String("--"))
            break;  // the rest are no options; avrdude ignores them
        if (word.size() < 2 || word[0] != u'-')
            continue;  // not an option: getopt moves it aside, avrdude ignores it
        for (qsizetype k = 1; k < word.size(); ++k) {
            const QChar letter = word[k];
            const int kind = Kind(letter);
            if (kind == 0) {
                out.problems << QStringLiteral("avrdude 7.1 has no option -%1").arg(letter);
                break;
            }
            if (letter == u'?') {
                out.problems << QStringLiteral("-? asks avrdude for its usage text");
                continue;
            }
            if (kind == 1) {
                if (letter == u'e')
                    out.erase = true;
                else if (letter == u'n')
                    out.noWrite = true;
                else if (letter == u'O')
                    out.calibrate = true;
                else if (letter == u'F')
                    out.overrideSignature = true;
                continue;
            }
            // The rest of the word is the argument, or else the next word (whatever it holds).
            if (k + 1 < word.size()) {
                take(letter, word.mid(k + 1), i, k + 1);
            } else if (i + 1 < args.size()) {
                ++i;
                take(letter, args[i], i, 0);
            } else {
                out.problems << QStringLiteral("-%1 needs an argument").arg(letter);
            }
            break;
        }
    }
    return out;
}

}  // namespace compose
