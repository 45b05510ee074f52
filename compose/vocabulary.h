#pragma once
// The words the window offers and the command lines carry.
#include <QString>
#include <QStringList>
#include <QStringView>
#include "compose/devices.h"
#include "compose/installed.h"

#include <QHash>

#include <array>

namespace compose {

struct PartCode {
    const char *name;  // device display name as the device box shows it
    const char *code;  // what follows "-p"
};

// Device display name to part code, looked up in this order: every row of the device table.
inline constexpr auto PartCodeTable = [] {
    std::array<PartCode, kDeviceCount> out{};
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = {DeviceTable[i].name, DeviceTable[i].code};
    return out;
}();

struct FormatLetter {
    const char *name;
    const char *letter;
};
// Format display name to the letter that ends a "-U" operation.
extern const std::array<FormatLetter, 5> FormatLetterTable;

// Item lists of the combo boxes. Device, programmer and port lists start with an empty entry.
// The window's own lists: the empty entry, then the listed rows of the device table (27 entries),
// and the 40 programmer entries.
QStringList DesignDeviceList();
QStringList DesignProgrammerList();
QStringList PortList();        // 13 entries
// The port box's items: the 13 entries first, so that stored item indexes keep their meaning, then
// the serial ports present at start-up by their device paths, then "usb".
QStringList PortItems(const QStringList &serialPorts);
QStringList FormatList();      // 4 entries

QString LookupFormatLetter(QStringView format);  // "a" when nothing matches

// The words of one avrdude: the window's own lists and what the installed avrdude adds to them.
// Made once from its answers and never changed; whoever needs it is handed it. Parts and
// programmers whose code or id is not one word (IsToolWord) are left out: such a code would put
// words of its own on a command line ("m8 -U lock:w:0x00:m").
class Vocabulary {
public:
    Vocabulary() = default;  // the window's own lists only
    explicit Vocabulary(InstalledAvrdude installed);

    const InstalledAvrdude &installed() const { return installed_; }
    bool knowsParts() const { return !installed_.parts.empty(); }
    bool knowsProgrammers() const { return !installed_.programmers.empty(); }

    // The window's own list followed by what the installed avrdude adds, sorted.
    QStringList deviceList() const;
    QStringList programmerList() const;

    // Exact, case-sensitive, whole-text lookups.
    const InstalledPart *findPart(QStringView name) const;
    const InstalledProgrammer *findProgrammer(QStringView id) const;
    // The part avrdude finds for "-p <text>": the first whose code or name is the text, case aside.
    const InstalledPart *locatePart(QStringView text) const;
    // The display names of the parts with this signature (six hex digits, any case).
    QStringList partsWithSignature(QStringView signature) const;
    // The device table first, then the installed avrdude's parts; empty when neither knows the name.
    QString partCode(QStringView device) const;
    // The other way: the device name for a part code (the device table first, then the installed
    // avrdude's parts, avrdude's own case aside); empty when none has it.
    QString partName(QStringView code) const;

private:
    InstalledAvrdude installed_;
    QHash<QString, std::size_t> partByName_, programmerById_;
};

// The vocabulary of no installed avrdude: the window's own lists.
const Vocabulary &OwnListsOnly();

}  // namespace compose
