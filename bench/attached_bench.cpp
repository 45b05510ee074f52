// What is plugged in, asked as the window asks it every two seconds: a sysfs of 40 USB devices
// (hubs, keyboards, programmers, boards, serial adapters; 12 serial ports among 76 ttys) read and
// matched with avrdude 7.1's programmers and the installed cores' boards.
#include "attached/attached.h"
#include "compose/installed.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void Write(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text + '\n');
}

// A machine's sysfs below `root`: 40 devices on two buses, every fourth with a serial port.
void MakeSysfs(const QString &root)
{
    const QString devices = root + "/devices/pci0000:00/0000:00:14.0";
    const quint16 ids[][2] = {{0x16c0, 0x05dc}, {0x2341, 0x0043}, {0x0403, 0x6001}, {0x046d, 0xc52b}, {0x1781, 0x0c9f}};
    for (int i = 0; i < 40; ++i) {
        const int bus = 1 + i % 2, port = 1 + i / 2;
        const QString name = QStringLiteral("%1-%2").arg(bus).arg(port);
        const QString dev = devices + QStringLiteral("/usb%1/").arg(bus) + name;
        Write(dev + "/idVendor", QByteArray::number(ids[i % 5][0], 16).rightJustified(4, '0'));
        Write(dev + "/idProduct", QByteArray::number(ids[i % 5][1], 16).rightJustified(4, '0'));
        Write(dev + "/manufacturer", "Maker " + QByteArray::number(i));
        Write(dev + "/product", "Device " + QByteArray::number(i));
        Write(dev + "/busnum", QByteArray::number(bus));
        Write(dev + "/devnum", QByteArray::number(port + 1));
        QDir().mkpath(root + "/bus/usb/devices");
        QFile::link(dev, root + "/bus/usb/devices/" + name);
        QFile::link(dev + ":1.0", root + "/bus/usb/devices/" + name + ":1.0");
        if (i % 5 == 1 || i % 5 == 2) {  // a board or an adapter: its port
            const QString tty = QStringLiteral("ttyACM%1").arg(i);
            Write(dev + "/" + name + ":1.0/tty/" + tty + "/dev", "166:" + QByteArray::number(i));
            QDir().mkpath(root + "/class/tty");
            QFile::link(dev + "/" + name + ":1.0/tty/" + tty, root + "/class/tty/" + tty);
        }
    }
    for (int i = 0; i < 64; ++i) {  // the virtual consoles
        const QString tty = QStringLiteral("tty%1").arg(i);
        Write(root + "/devices/virtual/tty/" + tty + "/dev", "4:" + QByteArray::number(i));
        QFile::link(root + "/devices/virtual/tty/" + tty, root + "/class/tty/" + tty);
    }
}

std::vector<compose::InstalledProgrammer> Programmers()
{
    QFile list(QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/programmers.txt")),
        described(QStringLiteral(FUSEWERK_TRANSCRIPTS "/avrdude-7.1/programmers_St.txt"));
    if (!list.open(QIODevice::ReadOnly) || !described.open(QIODevice::ReadOnly))
        return {};
    std::vector<compose::InstalledProgrammer> programmers = compose::ParseProgrammers(list.readAll());
    compose::ReadProgrammerModes(described.readAll(), programmers);
    return programmers;
}

}  // namespace

static void AttachedScan(benchmark::State &state)
{
    QTemporaryDir root;
    MakeSysfs(root.path() + "/sys");
    const std::vector<compose::InstalledProgrammer> programmers = Programmers();
    const std::vector<boards::Board> boards = boards::ReadBoards(boards::CoreFolders(QDir::homePath()));
    std::size_t found = 0;
    for (auto _ : state) {
        const std::vector<attached::Found> matched =
            attached::Match(attached::ScanUsb(root.path() + "/sys", root.path() + "/dev"), programmers, boards);
        found = matched.size();
        benchmark::DoNotOptimize(matched);
    }
    state.counters["found"] = double(found);
    state.counters["boards"] = double(boards.size());
}
BENCHMARK(AttachedScan)->Unit(benchmark::kMillisecond);
