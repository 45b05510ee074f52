#include "boards/boards.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

namespace boards {
namespace {

// A boards.txt of a core is read only as far as this: a larger one is no core's.
constexpr qint64 kLargestBoardsFile = 8 << 20;
// Menus multiply: a board offers at most this many combinations of their options.
constexpr int kMostCombinations = 2000;

// The keys a board's burn and upload need; a menu that sets none of them is no choice of ours.
const QStringList &NeededKeys()
{
    static const QStringList keys{
        QStringLiteral("build.mcu"),           QStringLiteral("build.f_cpu"),
        QStringLiteral("bootloader.low_fuses"), QStringLiteral("bootloader.high_fuses"),
        QStringLiteral("bootloader.extended_fuses"), QStringLiteral("bootloader.unlock_bits"),
        QStringLiteral("bootloader.lock_bits"), QStringLiteral("bootloader.file"),
        QStringLiteral("upload.protocol"),     QStringLiteral("upload.speed")};
    return keys;
}

struct Menu {
    QString id;
    QStringList options;                          // in the file's order
    QHash<QString, QString> labels;               // option -> its label
    QHash<QString, QHash<QString, QString>> sets; // option -> key -> value
};

// "{build.mcu}" and the like, as the Arduino tools expand them from the board's own keys.
QString Expanded(QString value, const QHash<QString, QString> &keys)
{
    static const QRegularExpression placeholder(QStringLiteral("\\{([^{}]+)\\}"));
    for (int round = 0; round < 4 && value.contains(u'{'); ++round) {
        QString out;
        qsizetype at = 0;
        for (auto it = placeholder.globalMatch(value); it.hasNext();) {
            const auto m = it.next();
            out += value.mid(at, m.capturedStart() - at);
            out += keys.contains(m.captured(1)) ? keys.value(m.captured(1)) : m.captured(0);
            at = m.capturedEnd();
        }
        out += value.mid(at);
        if (out == value)
            break;
        value = out;
    }
    return value;
}

Board Made(const QString &core, const QString &id, const QHash<QString, QString> &keys)
{
    Board b;
    b.core = core;
    b.id = id;
    const auto get = [&](const char *key) { return Expanded(keys.value(QLatin1String(key)).trimmed(), keys); };
    b.mcu = get("build.mcu");
    b.fCpu = get("build.f_cpu");
    b.lowFuses = get("bootloader.low_fuses");
    b.highFuses = get("bootloader.high_fuses");
    b.extendedFuses = get("bootloader.extended_fuses");
    b.unlockBits = get("bootloader.unlock_bits");
    b.lockBits = get("bootloader.lock_bits");
    b.bootloaderFile = get("bootloader.file");
    b.protocol = get("upload.protocol");
    b.speed = get("upload.speed");
    return b;
}

}  // namespace

QString Board::bootloaderPath() const
{
    return bootloaderFile.isEmpty() ? QString() : QDir(core).filePath(QStringLiteral("bootloaders/") + bootloaderFile);
}

QStringList CoreFolders(const QString &home, const QStringList &extra)
{
    QStringList out;
    const auto add = [&](const QString &folder) {
        if (QFileInfo(QDir(folder).filePath(QStringLiteral("boards.txt"))).isFile() && !out.contains(folder))
            out << folder;
    };
    add(QStringLiteral("/usr/share/arduino/hardware/arduino/avr"));
    // packages/VENDOR/hardware/ARCH/VERSION and hardware/VENDOR/ARCH; of the architectures, the AVR ones.
    const QDir packages(home + QStringLiteral("/.arduino15/packages"));
    for (const QString &vendor : packages.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QDir hardware(packages.filePath(vendor + QStringLiteral("/hardware")));
        for (const QString &arch : hardware.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            if (arch.contains(QLatin1String("avr")))
                for (const QString &version : QDir(hardware.filePath(arch)).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
                    add(hardware.filePath(arch + u'/' + version));
    }
    const QDir sketchbook(home + QStringLiteral("/Arduino/hardware"));
    for (const QString &vendor : sketchbook.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
        for (const QString &arch : QDir(sketchbook.filePath(vendor)).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            if (arch.contains(QLatin1String("avr")))
                add(sketchbook.filePath(vendor + u'/' + arch));
    // A folder the user added: a core, or a folder of cores.
    for (const QString &folder : extra) {
        add(folder);
        for (const QString &sub : QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name))
            add(QDir(folder).filePath(sub));
    }
    return out;
}

std::vector<Board> ReadCore(const QString &core)
{
    std::vector<Board> out;
    QFile file(QDir(core).filePath(QStringLiteral("boards.txt")));
    if (!QFileInfo(file).isFile() || QFileInfo(file).size() > kLargestBoardsFile || !file.open(QIODevice::ReadOnly))
        return out;
    QStringList menuOrder, boardOrder;
    QHash<QString, QHash<QString, QString>> own;  // board -> key -> value
    QHash<QString, QList<Menu>> menus;            // board -> its menus, in the order met
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const qsizetype eq = line.indexOf(u'=');
        if (line.isEmpty() || line.startsWith(u'#') || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed(), value = line.mid(eq + 1).trimmed();
        const QStringList parts = key.split(u'.');
        if (parts.size() == 2 && parts[0] == QLatin1String("menu")) {
            menuOrder << parts[1];
            continue;
        }
        if (parts.size() < 2)
            continue;
        const QString &board = parts[0];
        if (parts.size() >= 4 && parts[1] == QLatin1String("menu")) {
            QList<Menu> &list = menus[board];
            auto menu = std::find_if(list.begin(), list.end(), [&](const Menu &m) { return m.id == parts[2]; });
            if (menu == list.end()) {
                list.append(Menu{parts[2], {}, {}, {}});
                menu = list.end() - 1;
            }
            const QString &option = parts[3];
            if (!menu->options.contains(option))
                menu->options << option;
            if (parts.size() == 4)
                menu->labels.insert(option, value);
            else
                menu->sets[option].insert(parts.mid(4).join(u'.'), value);
            continue;
        }
        if (parts[1] == QLatin1String("name") && parts.size() == 2 && !boardOrder.contains(board))
            boardOrder << board;
        own[board].insert(parts.mid(1).join(u'.'), value);
    }
    for (const QString &board : boardOrder) {
        // The menus that choose something a chip needs, in the order the file declares them.
        QList<Menu> chosen;
        for (const Menu &menu : menus.value(board))
            if (std::ranges::any_of(menu.sets, [](const QHash<QString, QString> &keys) {
                    return std::ranges::any_of(NeededKeys(), [&](const QString &k) { return keys.contains(k); });
                }))
                chosen.append(menu);
        std::ranges::stable_sort(chosen, {}, [&](const Menu &m) { return menuOrder.indexOf(m.id); });
        std::vector<int> pick(static_cast<std::size_t>(chosen.size()), 0);
        for (int made = 0; made < kMostCombinations; ++made) {
            QHash<QString, QString> keys = own.value(board);
            QStringList options, labels;
            for (qsizetype m = 0; m < chosen.size(); ++m) {
                const Menu &menu = chosen[m];
                const QString &option = menu.options[pick[static_cast<std::size_t>(m)]];
                options << option;
                labels << menu.labels.value(option, option);
                for (auto it = menu.sets.value(option).cbegin(); it != menu.sets.value(option).cend(); ++it)
                    keys.insert(it.key(), it.value());
            }
            Board b = Made(core, board, keys);
            b.option = options.join(u',');
            b.name = keys.value(QStringLiteral("name"), board) +
                     (labels.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(labels.join(QStringLiteral(", "))));
            out.push_back(std::move(b));
            // The next combination, the last menu counting fastest.
            qsizetype m = chosen.size() - 1;
            for (; m >= 0; --m) {
                int &p = pick[static_cast<std::size_t>(m)];
                if (++p < chosen[m].options.size())
                    break;
                p = 0;
            }
            if (m < 0)
                break;
        }
    }
    return out;
}

std::vector<Board> ReadBoards(const QStringList &cores)
{
    std::vector<Board> out;
    for (const QString &core : cores)
        for (Board &b : ReadCore(core))
            out.push_back(std::move(b));
    return out;
}

const Board *FindBoard(const std::vector<Board> &boards, const QString &text)
{
    for (const Board &b : boards)
        if (b.key() == text || b.name == text)
            return &b;
    for (const Board &b : boards)  // a board with menus, named without an option: its first
        if (b.id == text)
            return &b;
    return nullptr;
}

}  // namespace boards
