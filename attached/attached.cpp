#include "attached/attached.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMultiHash>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace attached {
namespace {

// avrdude's JTAGICE3, EDBG and Atmel-ICE drivers take Atmel's vendor id where their entry names none.
constexpr quint16 kAtmelVendor = 0x03eb;

QString Attribute(const QString &dir, const char *name)
{
    QFile file(dir + u'/' + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.read(256)).trimmed() : QString();
}

QString Hex4(quint16 v) { return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')); }

// The serial ports of USB devices: the device's sysfs path they lie below, their name and driver.
struct Port {
    QString path, name;
};

std::vector<Port> UsbPorts(const QString &sys)
{
    std::vector<Port> ports;
    const QDir ttys(sys + QStringLiteral("/class/tty"));
    for (const QString &name : ttys.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = QFileInfo(ttys.filePath(name)).symLinkTarget();
        if (target.contains(QLatin1String("/usb")))  // the console's and the board's own ports are none
            ports.push_back({QFileInfo(target).canonicalFilePath(), name});
    }
    return ports;
}

}  // namespace

std::vector<UsbDevice> ScanUsb(const QString &sys, const QString &dev)
{
    std::vector<UsbDevice> devices;
    const std::vector<Port> ports = UsbPorts(sys);
    const QDir bus(sys + QStringLiteral("/bus/usb/devices"));
    for (const QString &name : bus.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        if (name.contains(u':') || name.startsWith(QLatin1String("usb")))
            continue;  // an interface, or a root hub
        UsbDevice d;
        d.sysPath = QFileInfo(bus.filePath(name)).canonicalFilePath();
        if (d.sysPath.isEmpty())
            continue;
        bool ok = false;
        d.vendor = static_cast<quint16>(Attribute(d.sysPath, "idVendor").toUInt(&ok, 16));
        if (!ok)
            continue;
        d.product = static_cast<quint16>(Attribute(d.sysPath, "idProduct").toUInt(nullptr, 16));
        d.manufacturer = Attribute(d.sysPath, "manufacturer");
        d.productName = Attribute(d.sysPath, "product");
        d.serial = Attribute(d.sysPath, "serial");
        d.bus = Attribute(d.sysPath, "busnum").toInt();
        d.address = Attribute(d.sysPath, "devnum").toInt();
        d.node = dev + QStringLiteral("/bus/usb/%1/%2").arg(d.bus, 3, 10, QLatin1Char('0')).arg(d.address, 3, 10, QLatin1Char('0'));
        const QString below = d.sysPath + u'/';
        for (const Port &port : ports)
            if (port.path.startsWith(below)) {
                d.ports << dev + u'/' + port.name;
                // The interface the port hangs off names the driver.
                const QString interface = below + port.path.mid(below.size()).section(u'/', 0, 0);
                if (d.serialDriver.isEmpty())
                    d.serialDriver = QFileInfo(QFileInfo(interface + QStringLiteral("/driver")).symLinkTarget()).fileName();
            }
        d.ports.sort();
        devices.push_back(std::move(d));
    }
    std::ranges::sort(devices, {}, [](const UsbDevice &d) { return std::pair(d.bus, d.address); });
    return devices;
}

QString Found::where() const
{
    return device.ports.isEmpty() ? QStringLiteral("usb %1/%2").arg(device.bus, 3, 10, QLatin1Char('0')).arg(device.address, 3, 10, QLatin1Char('0'))
                                  : device.ports.join(QStringLiteral(", "));
}

QString Found::name() const
{
    const QString product = device.productName.isEmpty() ? QStringLiteral("USB device") : device.productName;
    return device.manufacturer.isEmpty() ? product : QStringLiteral("%1 (%2)").arg(product, device.manufacturer);
}

QString Found::choice() const
{
    if (!programmers.isEmpty()) {
        QString c = QStringLiteral("-c ") + programmers.front();
        if (device.ports.isEmpty())
            c += QStringLiteral(" -P usb");
        else
            c += QStringLiteral(" -P ") + device.ports.front();
        if (programmers.size() > 1)
            c += QStringLiteral(" (or -c %1)").arg(programmers.mid(1).join(QStringLiteral(", ")));
        return c;
    }
    if (!boards.empty()) {
        const BoardOnPort &b = boards.front();
        QString c = QStringLiteral("-P %1: %2 (%3)").arg(device.ports.value(0), b.name, b.fqbn);
        if (!b.protocol.isEmpty())
            c += QStringLiteral(", -c ") + b.protocol;
        return c;
    }
    return QStringLiteral("-P %1: a serial adapter%2").arg(device.ports.value(0),
        device.serialDriver.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(device.serialDriver));
}

namespace {

// The programmers of `device`: by its ids, then by its strings where entries give them (one id is
// shared by many V-USB devices): those whose strings are the device's first, then those that give none.
QStringList ProgrammersOf(const UsbDevice &device, const std::vector<compose::InstalledProgrammer> &programmers)
{
    QStringList named, plain;
    for (const compose::InstalledProgrammer &p : programmers) {
        if (!p.usbProducts.contains(device.product) || (p.usbVendor ? p.usbVendor : kAtmelVendor) != device.vendor)
            continue;
        if (p.usbVendorName.isEmpty() && p.usbProductName.isEmpty())
            plain << p.id;
        else if ((p.usbVendorName.isEmpty() || p.usbVendorName == device.manufacturer) &&
                 (p.usbProductName.isEmpty() || p.usbProductName == device.productName))
            named << p.id;
    }
    return named + plain;
}

// Every board's USB ids (vid.N/pid.N, or upload_port.N.vid/pid), each with the board it names.
QMultiHash<quint32, BoardOnPort> BoardIds(const std::vector<boards::Board> &all)
{
    QMultiHash<quint32, BoardOnPort> ids;
    for (const boards::Board &board : all)
        for (const QString &key : board.own.keys()) {
            const bool plain = key.startsWith(QLatin1String("vid.")), upload = key.startsWith(QLatin1String("upload_port.")) && key.endsWith(QLatin1String(".vid"));
            if (!plain && !upload)
                continue;
            QString pidKey = key;
            pidKey.replace(plain ? 0 : pidKey.size() - 3, 3, QStringLiteral("pid"));
            const quint32 id = board.own.value(key).toUInt(nullptr, 0) << 16 | board.own.value(pidKey).toUInt(nullptr, 0);
            bool known = false;
            for (auto it = ids.constFind(id); it != ids.cend() && it.key() == id && !known; ++it)
                known = it->fqbn == board.fqbn();
            if (!known)
                ids.insert(id, {board.name, board.fqbn(), board.own.value(QStringLiteral("upload.protocol"))});
        }
    return ids;
}

// Whether this user may read and write `path`, and what lets them where not.
std::pair<bool, QString> Access(const Found &found)
{
    const UsbDevice &d = found.device;
    const QString path = d.ports.isEmpty() ? d.node : d.ports.front();
    if (::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0)
        return {true, {}};
    struct stat st {};
    const bool exists = ::stat(QFile::encodeName(path).constData(), &st) == 0;
    if (!d.ports.isEmpty() && exists && (st.st_mode & S_IRGRP) && (st.st_mode & S_IWGRP) && st.st_gid != 0) {
        const group *g = ::getgrgid(st.st_gid);
        const QString name = g ? QString::fromLocal8Bit(g->gr_name) : QString::number(st.st_gid);
        return {false, QStringLiteral("%1 belongs to the group %2: join it with \"sudo usermod -aG %2 $USER\", then log out "
                                      "and in again").arg(path, name)};
    }
    const QString rule = d.ports.isEmpty()
        ? QStringLiteral("SUBSYSTEM==\"usb\", ATTR{idVendor}==\"%1\", ATTR{idProduct}==\"%2\", MODE=\"0660\", TAG+=\"uaccess\"")
        : QStringLiteral("SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"%1\", ATTRS{idProduct}==\"%2\", MODE=\"0660\", TAG+=\"uaccess\"");
    return {false, QStringLiteral("%1 cannot be opened by you: put the line\n    %2\ninto /etc/udev/rules.d/70-avr-programmers.rules, "
                                  "run \"sudo udevadm control --reload-rules\" and plug it in again")
                       .arg(path, rule.arg(Hex4(d.vendor), Hex4(d.product)))};
}

}  // namespace

std::vector<Found> Match(const std::vector<UsbDevice> &devices, const std::vector<compose::InstalledProgrammer> &programmers,
                         const std::vector<boards::Board> &boards)
{
    std::vector<Found> found;
    const QMultiHash<quint32, BoardOnPort> boardIds = BoardIds(boards);
    for (const UsbDevice &device : devices) {
        Found f{device, ProgrammersOf(device, programmers), {}};
        const QList<BoardOnPort> named = boardIds.values(quint32(device.vendor) << 16 | device.product);
        f.boards.assign(named.crbegin(), named.crend());  // in the cores' order (a multi-hash gives the last first)
        if (f.programmers.isEmpty() && f.boards.empty() && device.ports.isEmpty())
            continue;
        f.serialAdapter = f.programmers.isEmpty() && f.boards.empty();
        std::tie(f.mayOpen, f.fix) = Access(f);
        found.push_back(std::move(f));
    }
    return found;
}

QStringList AttachedLines(const std::vector<Found> &found)
{
    if (found.empty())
        return {QStringLiteral("Nothing attached: no USB programmer, board or serial adapter was found.")};
    QStringList lines;
    for (const Found &f : found) {
        lines << QStringLiteral("%1\t%2:%3\t%4\t%5").arg(f.where(), Hex4(f.device.vendor), Hex4(f.device.product), f.name(), f.choice());
        if (!f.mayOpen)
            lines << QStringLiteral("\t") + f.fix;
    }
    return lines;
}

}  // namespace attached
