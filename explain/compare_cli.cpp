#include "explain/compare_cli.h"

#include "images/compare.h"
#include "installed/installed_avrdude.h"
#include "session/chip_session.h"

#include <QEventLoop>

#include <cstdio>

namespace {

void Say(std::FILE *to, const QString &text) { std::fprintf(to, "%s\n", text.toUtf8().constData()); }

struct Arguments {
    QString file, part, programmer, port, memory = QStringLiteral("flash");
    QChar format = u'a';
    QString problem;
};

Arguments Parse(const QStringList &arguments)
{
    Arguments out;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &a = arguments[i];
        QString *value = a == QLatin1String("-p")         ? &out.part
                         : a == QLatin1String("-c")       ? &out.programmer
                         : a == QLatin1String("-P")       ? &out.port
                         : a == QLatin1String("--memory") ? &out.memory
                                                          : nullptr;
        if (value) {
            if (i + 1 >= arguments.size()) {
                out.problem = QStringLiteral("%1 wants a value").arg(a);
                return out;
            }
            *value = arguments[++i];
        } else if (a.startsWith(u'-') || !out.file.isEmpty()) {
            out.problem = QStringLiteral("\"%1\" is none of the arguments").arg(a);
            return out;
        } else {
            out.file = a;
        }
    }
    // FILE:FORMAT, the format one of avrdude's letters for images, as after -U memory:w:FILE.
    static const QString formats = QStringLiteral("aisreb");
    if (out.file.size() > 2 && out.file[out.file.size() - 2] == u':' && formats.contains(out.file.back())) {
        out.format = out.file.back();
        out.file.chop(2);
    }
    if (out.file.isEmpty() || out.part.isEmpty() || out.programmer.isEmpty())
        out.problem = QStringLiteral("a file, -p and -c are needed");
    return out;
}

QString Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

}  // namespace

int RunCompare(const QStringList &arguments)
{
    const Arguments args = Parse(arguments);
    if (!args.problem.isEmpty()) {
        Say(stderr, QStringLiteral("fusewerk: %1\nusage: fusewerk --compare FILE[:FORMAT] -p PART -c PROGRAMMER [-P PORT] "
                                   "[--memory MEMORY]").arg(args.problem));
        return 2;
    }
    compose::Vocabulary words(AskInstalledAvrdude());
    const compose::InstalledPart *part = words.locatePart(args.part);
    const compose::PartMemory *memory = part ? compose::LocateMemory(*part, args.memory) : nullptr;
    if (!memory || memory->size <= 0) {
        Say(stderr, part ? QStringLiteral("fusewerk: the %1 has no memory \"%2\"").arg(part->name, args.memory)
                         : QStringLiteral("fusewerk: the installed avrdude knows no part \"%1\"").arg(args.part));
        return 2;
    }
    // The file first: a file that cannot be read needs no chip.
    const images::MemoryFile image = images::ReadForWrite(args.file, args.format, {memory->name, memory->size});
    if (!image.ok()) {
        Say(stderr, QStringLiteral("fusewerk: %1: %2").arg(args.file, image.error));
        return 2;
    }

    session::ChipSession chip(words);
    compose::FormState form;
    form.device = part->name;
    form.programmer = args.programmer;
    form.port = args.port;
    chip.setForm(form);
    QObject::connect(&chip, &session::ChipSession::told, [](session::Notice, const QString &text) { Say(stderr, text); });
    QObject::connect(&chip, &session::ChipSession::question, [](const QString &text, bool *yes) {
        Say(stderr, text);
        *yes = false;  // a read asks nothing it may not be refused
    });
    QObject::connect(&chip, &session::ChipSession::output, [](const QString &text) {
        std::fputs(text.toUtf8().constData(), stderr);
    });
    QString outcome;
    QObject::connect(&chip, &session::ChipSession::runEnded, [&](const session::Outcome &o) { outcome = o.text; });
    QByteArray held;
    QObject::connect(&chip, &session::ChipSession::memoryRead, [&](const QString &, const QByteArray &bytes) { held = bytes; });
    QEventLoop loop;
    QObject::connect(&chip, &session::ChipSession::finished, &loop, &QEventLoop::quit);
    if (!chip.readMemory(memory->name)) {
        Say(stderr, QStringLiteral("fusewerk: the %1 could not be read").arg(memory->name));
        return 2;
    }
    loop.exec();
    if (held.isEmpty()) {
        Say(stderr, QStringLiteral("fusewerk: the %1 could not be read: %2").arg(memory->name, outcome));
        return 2;
    }
    const images::Comparison c = images::Compare(held, image);
    for (const images::DiffRange &r : c.ranges) {
        const qint64 shown = std::min<qint64>(r.size(), 16);
        Say(stdout, QStringLiteral("0x%1-0x%2 (%3 %4): chip %5, file %6%7")
                        .arg(r.start, 4, 16, QLatin1Char('0'))
                        .arg(r.end - 1, 4, 16, QLatin1Char('0'))
                        .arg(r.size())
                        .arg(r.size() == 1 ? QStringLiteral("byte") : QStringLiteral("bytes"))
                        .arg(Hex(held.mid(r.start, shown)), Hex(image.bytes.mid(r.start, shown)),
                             r.size() > shown ? QStringLiteral(" ...") : QString()));
    }
    Say(stdout, QStringLiteral("%1 of %2 %3: %4").arg(args.file, part->name, memory->name, images::Summary(c)));
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? (c.same() ? 0 : 1) : 2;
}
