#include "boards/boards.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace boards {
namespace {

// A core's text files are read only as far as this: a larger one is no core's.
constexpr qint64 kLargestCoreFile = 8 << 20;

QByteArray ReadSmall(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || QFileInfo(path).size() > kLargestCoreFile || !file.open(QIODevice::ReadOnly))
        return {};
    return file.read(kLargestCoreFile);
}

// "1.8.6" before "1.10.0": number by number, a missing one as 0.
bool OlderVersion(const QString &a, const QString &b)
{
    const QStringList x = a.split(u'.'), y = b.split(u'.');
    for (qsizetype i = 0; i < std::max(x.size(), y.size()); ++i) {
        const int p = i < x.size() ? x[i].toInt() : 0, q = i < y.size() ? y[i].toInt() : 0;
        if (p != q)
            return p < q;
    }
    return a < b;
}

bool LooksLikeVersion(const QString &name) { return !name.isEmpty() && name[0].isDigit(); }

// Where a core stands says who made it: .../VENDOR/ARCH, or .../VENDOR/hardware/ARCH/VERSION.
void Place(Core &core)
{
    QDir dir(core.folder);
    const QString last = dir.dirName();
    if (LooksLikeVersion(last)) {
        core.version = last;
        dir.cdUp();
        core.arch = dir.dirName();
        dir.cdUp();  // hardware
        dir.cdUp();
        core.vendor = dir.dirName();
    } else {
        core.arch = last;
        dir.cdUp();
        core.vendor = dir.dirName();
    }
    if (core.vendor.isEmpty())
        core.vendor = QStringLiteral("local");
}

}  // namespace

const MenuOption *Menu::option(const QString &id) const
{
    for (const MenuOption &o : options)
        if (o.id == id)
            return &o;
    return nullptr;
}

const Menu *Board::menu(const QString &id) const
{
    for (const Menu &m : menus)
        if (m.id == id)
            return &m;
    return nullptr;
}

Options Board::withDefaults(const Options &given) const
{
    Options out;
    for (const Menu &m : menus) {
        const QString chosen = given.value(m.id);
        out.insert(m.id, m.option(chosen) ? chosen : m.options.front().id);
    }
    return out;
}

QString Board::optionsText(const Options &options) const
{
    QStringList out;
    for (const Menu &m : menus)
        if (options.contains(m.id))
            out << m.id + u'=' + options.value(m.id);
    return out.join(u',');
}

QString Board::label(const Options &options) const
{
    QStringList captions;
    for (const Menu &m : menus)
        if (const MenuOption *o = m.option(options.value(m.id)))
            captions << o->caption;
    return captions.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, captions.join(QStringLiteral(", ")));
}

Properties Board::properties(const Options &options) const
{
    Properties p = core->platform;
    Properties ide;
    ide.set(QStringLiteral("runtime.platform.path"), core->folder);
    ide.set(QStringLiteral("runtime.hardware.path"), QFileInfo(core->folder).absolutePath());
    ide.set(QStringLiteral("runtime.ide.version"), QStringLiteral("10819"));
    ide.set(QStringLiteral("ide_version"), QStringLiteral("10819"));
    ide.set(QStringLiteral("runtime.os"), QStringLiteral("linux"));
    ide.set(QStringLiteral("build.arch"), core->arch.toUpper());
    ide.set(QStringLiteral("build.fqbn"), fqbn());
    ide.set(QStringLiteral("build.board"), QStringLiteral("%1_%2").arg(core->arch, id).toUpper());
    p.merge(ide);
    p.merge(own);
    for (const Menu &m : menus)
        if (options.contains(m.id))
            p.merge(optionKeys.value(m.id + u'.' + options.value(m.id)));
    return p;
}

Setting Settle(const Board &board, const Options &options)
{
    Setting s;
    const Properties p = board.properties(board.withDefaults(options));
    const auto get = [&](const char *key) {
        const QString name = QLatin1String(key);
        if (!p.contains(name))
            return QString();
        const Properties::Expansion e = p.expand(p.value(name));
        if (!e.ok() && s.error.isEmpty())
            s.error = QStringLiteral("%1's %2: %3").arg(board.name, name, e.error);
        return e.text.trimmed();
    };
    s.mcu = get("build.mcu");
    s.fCpu = get("build.f_cpu");
    s.lowFuses = get("bootloader.low_fuses");
    s.highFuses = get("bootloader.high_fuses");
    s.extendedFuses = get("bootloader.extended_fuses");
    s.unlockBits = get("bootloader.unlock_bits");
    s.lockBits = get("bootloader.lock_bits");
    s.bootloaderFile = get("bootloader.file");
    s.protocol = get("upload.protocol");
    s.speed = get("upload.speed");
    if (s.error.isEmpty() && s.mcu.contains(u'{'))
        s.error = QStringLiteral("%1's part \"%2\" refers to a property no file gives").arg(board.name, s.mcu);
    return s;
}

QStringList CoreFolders(const QString &home, const QStringList &extra)
{
    QStringList out;
    const auto add = [&](const QString &folder) {
        const QString clean = QDir::cleanPath(folder);
        if (QFileInfo(QDir(clean).filePath(QStringLiteral("boards.txt"))).isFile() && !out.contains(clean))
            out << clean;
    };
    const auto dirs = [](const QDir &dir) { return dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name); };
    add(QStringLiteral("/usr/share/arduino/hardware/arduino/avr"));
    // The sketchbook's hardware/VENDOR/ARCH.
    const QDir sketchbook(home + QStringLiteral("/Arduino/hardware"));
    for (const QString &vendor : dirs(sketchbook))
        for (const QString &arch : dirs(QDir(sketchbook.filePath(vendor))))
            if (arch.contains(QLatin1String("avr")))
                add(sketchbook.filePath(vendor + u'/' + arch));
    // The boards manager's packages/VENDOR/hardware/ARCH/VERSION: the newest version that holds a core.
    const QDir packages(home + QStringLiteral("/.arduino15/packages"));
    for (const QString &vendor : dirs(packages)) {
        const QDir hardware(packages.filePath(vendor + QStringLiteral("/hardware")));
        for (const QString &arch : dirs(hardware)) {
            if (!arch.contains(QLatin1String("avr")))
                continue;
            QStringList versions = dirs(QDir(hardware.filePath(arch)));
            std::ranges::sort(versions, OlderVersion);
            for (qsizetype i = versions.size() - 1; i >= 0; --i)
                if (QFileInfo(hardware.filePath(arch + u'/' + versions[i] + QStringLiteral("/boards.txt"))).isFile()) {
                    add(hardware.filePath(arch + u'/' + versions[i]));
                    break;
                }
        }
    }
    // A folder the user added: a core, or a folder of cores.
    for (const QString &folder : extra) {
        add(folder);
        for (const QString &sub : dirs(QDir(folder)))
            add(QDir(folder).filePath(sub));
    }
    return out;
}

std::vector<Board> ReadCore(const QString &folder)
{
    std::vector<Board> out;
    const QByteArray text = ReadSmall(QDir(folder).filePath(QStringLiteral("boards.txt")));
    if (text.isEmpty())
        return out;
    auto core = std::make_shared<Core>();
    core->folder = QDir::cleanPath(QDir(folder).absolutePath());
    Place(*core);
    core->platform = Properties::Parse(ReadSmall(QDir(folder).filePath(QStringLiteral("platform.txt"))));
    core->name = core->platform.value(QStringLiteral("name"));
    if (core->name.isEmpty())
        core->name = core->vendor;

    QStringList menuOrder, boardOrder;
    QHash<QString, QString> menuCaptions;
    QHash<QString, Board> boards;
    QHash<QString, QStringList> menusMet;  // board -> its menus, in the order met
    for (const QByteArray &raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        const qsizetype eq = line.indexOf(u'=');
        if (line.isEmpty() || line.startsWith(u'#') || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed(), value = line.mid(eq + 1).trimmed();
        const QStringList parts = key.split(u'.');
        if (parts.size() == 2 && parts[0] == QLatin1String("menu")) {
            if (!menuOrder.contains(parts[1]))
                menuOrder << parts[1];
            menuCaptions.insert(parts[1], value);
            continue;
        }
        if (parts.size() < 2)
            continue;
        Board &b = boards[parts[0]];
        if (parts[1] == QLatin1String("menu") && parts.size() >= 4) {
            const QString &menuId = parts[2], &optionId = parts[3];
            if (!menusMet[parts[0]].contains(menuId)) {
                menusMet[parts[0]] << menuId;
                b.menus.push_back({menuId, {}, {}});
            }
            Menu &menu = *std::ranges::find_if(b.menus, [&](const Menu &m) { return m.id == menuId; });
            if (!menu.option(optionId))
                menu.options.push_back({optionId, optionId});
            if (parts.size() == 4)
                std::ranges::find_if(menu.options, [&](const MenuOption &o) { return o.id == optionId; })->caption = value;
            else
                b.optionKeys[menuId + u'.' + optionId].set(parts.mid(4).join(u'.'), value);
            continue;
        }
        if (parts.size() == 2 && parts[1] == QLatin1String("name") && !boardOrder.contains(parts[0]))
            boardOrder << parts[0];
        b.own.set(parts.mid(1).join(u'.'), value);
    }
    for (const QString &id : boardOrder) {
        Board b = boards.take(id);
        b.core = core;
        b.id = id;
        b.name = b.own.value(QStringLiteral("name"));
        for (const QString &key : b.own.keys())
            if (key.endsWith(QLatin1String(".linux")))
                b.own.set(key.chopped(6), b.own.value(key));
        // The menus in the order the core declares them; one it never declares goes last.
        std::ranges::stable_sort(b.menus, {}, [&](const Menu &m) {
            const qsizetype at = menuOrder.indexOf(m.id);
            return at < 0 ? menuOrder.size() : at;
        });
        for (Menu &m : b.menus)
            m.caption = menuCaptions.value(m.id, m.id);
        out.push_back(std::move(b));
    }
    return out;
}

std::vector<Board> ReadBoards(const QStringList &folders)
{
    std::vector<Board> out;
    for (const QString &folder : folders)
        for (Board &b : ReadCore(folder))
            out.push_back(std::move(b));
    return out;
}

Found FindBoard(const std::vector<Board> &boards, const QString &text)
{
    Found found;
    // VENDOR:ARCH:BOARD[:MENU=OPTION,...]
    const QStringList fields = text.split(u':');
    if (fields.size() >= 3) {
        const QString fqbn = fields.mid(0, 3).join(u':');
        for (const Board &b : boards)
            if (b.fqbn() == fqbn)
                found.board = &b;
        if (found.board) {
            Options given;
            for (const QString &pair : fields.mid(3).join(u':').split(u',', Qt::SkipEmptyParts)) {
                const QString menu = pair.section(u'=', 0, 0), option = pair.section(u'=', 1);
                const Menu *m = found.board->menu(menu);
                if (!m || !m->option(option)) {
                    found.error = !m ? QStringLiteral("%1 has no menu \"%2\"").arg(found.board->name, menu)
                                     : QStringLiteral("%1's menu %2 has no option \"%3\"").arg(found.board->name, m->caption, option);
                    found.board = nullptr;
                    return found;
                }
                given.insert(menu, option);
            }
            found.options = found.board->withDefaults(given);
            return found;
        }
    }
    // A board's name, its id, or id:option,option with the options by their ids.
    for (const Board &b : boards)
        if (b.name == text) {
            found.board = &b;
            found.options = b.withDefaults();
            return found;
        }
    const QString id = text.section(u':', 0, 0);
    for (const Board &b : boards)
        if (b.id == id && text.count(u':') <= 1) {
            Options given;
            for (const QString &option : text.section(u':', 1).split(u',', Qt::SkipEmptyParts)) {
                const auto menu = std::ranges::find_if(b.menus, [&](const Menu &m) { return m.option(option) != nullptr; });
                if (menu == b.menus.end()) {
                    found.error = QStringLiteral("%1 has no option \"%2\"").arg(b.name, option);
                    return found;  // no board: an option nobody has is no choice
                }
                given.insert(menu->id, option);
            }
            found.board = &b;
            found.options = b.withDefaults(given);
            return found;
        }
    found.error = QStringLiteral("no installed core has the board \"%1\"").arg(text);
    return found;
}

}  // namespace boards
