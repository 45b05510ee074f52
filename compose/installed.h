#pragma once
// What the installed avrdude knows beyond the window's own lists: its parts and programmers,
// read from its answers to "-p */St" and "-c ?".
#include <QByteArrayView>
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace compose {

struct InstalledPart {
    QString name;       // display name, as avrdude describes the part (ATmega328P)
    QString code;       // what follows "-p" (m328p)
    QString signature;  // six upper-case hex digits (1E950F); empty when it has none
    QStringList memories;  // lfuse, hfuse, efuse, lock, fuse0, ...
    QHash<QString, qint64> sizes;  // bytes of each memory, as avrdude describes it ("flash size 0x8000")
};

struct InstalledProgrammer {
    QString id;
    QString description;
    // avrdude reaches the chip only through a bootloader (its prog_modes are PM_SPM alone): no fuse,
    // lock or calibration byte can be read or written that way.
    bool bootloaderOnly = false;
};

struct InstalledAvrdude {
    std::vector<InstalledPart> parts;
    std::vector<InstalledProgrammer> programmers;
};

// "-p */St": tab-separated lines ".pt <part> desc|id|signature <value>" and ".ptmm <part> <memory> ...".
std::vector<InstalledPart> ParseParts(QByteArrayView text);
// "-c ?": lines "  <id> = <description>" after "Valid programmers are:".
std::vector<InstalledProgrammer> ParseProgrammers(QByteArrayView text);
// "-c */St": marks the programmers whose prog_modes are PM_SPM alone, by every id each one has.
void ReadProgrammerModes(QByteArrayView text, std::vector<InstalledProgrammer> &programmers);

// True for a word avrdude can take as a part code or programmer id: letters, digits and _ . + -.
bool IsToolWord(QStringView text);

// What the rest of the program consults; empty (the window's own lists only) until it is set. Parts
// and programmers whose code or id is not one such word are left out.
const InstalledAvrdude &Installed();
void SetInstalled(InstalledAvrdude installed);

const InstalledPart *FindInstalledPart(QStringView name);
const InstalledProgrammer *FindInstalledProgrammer(QStringView id);
// The display names of the parts with this signature (six hex digits, any case).
QStringList PartsWithSignature(QStringView signature);

}  // namespace compose
