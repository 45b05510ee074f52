#include "fuses/fuse_layout.h"

#include <QStringList>

namespace fuses {

// clang-format off
const std::array<DeviceFuseLayout, 26> FuseLayoutTable{{
    {"AT90S2313", {"off", "off", "- - - - - - LB2 LB1", "off"}},
    {"AT90S2343", {"- - - - - - - -", "off", "- - - - - - LB2 LB1", "off"}},
    {"AT90S4414", {"- - - - - FSTRT SPIEN -", "off", "- - - - - - LB2 LB1", "off"}},
    {"AT90S4433", {"- - - - - - - -", "off", "- - - - - - LB2 LB1", "off"}},
    {"AT90S4434", {"- - - - - FSTRT SPIEN -", "off", "- - - - - - LB2 LB1", "off"}},
    {"AT90S8515", {"- - - - - FSTRT SPIEN -", "off", "- - - - - - LB2 LB1", "off"}},
    {"AT90S8535", {"- - - - - FSTRT SPIEN -", "off", "- - - - - - LB2 LB1", "off"}},
    {"ATmega103", {"BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0", "off",
                   "- - - - - - LB2 LB1", "off"}},
    {"ATmega128", {"BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0",
                   "OCDEN JTAGEN SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST",
                   "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - - - - M103C WDTON"}},
    {"ATmega16",  {"BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0",
                   "OCDEN JTAGEN SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST",
                   "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - - - - M103C WDTON"}},
    {"ATmega161", {"- - BOOTRST SPIEN SUT CKSEL2 CKSEL1 CKSEL0", "off",
                   "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "off"}},
    {"ATmega162", {"CLKDIV8 CKOUT SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0",
                   "OCDEN JTAGEN SPIEN WDTON EESAVE BOOTSZ1 BOOTSZ0 BOOTRST",
                   "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - M161C BODLEVEL2 BODLEVEL1 BODLEVEL0 -"}},
    {"ATmega163", {"BODLEVEL BODEN SPIEN - CKSEL3 CKSEL2 CKSEL1 CKSEL0",
                   "- - - - - BOOTSZ1 BOOTSZ0 BOOTRST",
                   "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - M161C BODLEVEL2 BODLEVEL1 BODLEVEL0 -"}},
    {"ATmega169", {"CLKDIV8 CKOUT SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0",
                   "OCDEN JTAGEN SPIEN WDTON EESAVE BOOTSZ1 BOOTSZ0 BOOTRST",
                   "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - - BODLEVEL2 BODLEVEL1 BODLEVEL0 RSTDISBL"}},
    {"ATmega32",  {"CLKDIV8 BODEN - - CKSEL3 CKSEL2 CKSEL1 CKSEL0",
                   "OCDEN JTAGEN SPIEN - EESAVE BOOTSZ1 BOOTSZ0 BOOTRST",
                   "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - - BODLEVEL2 BODLEVEL1 BODLEVEL0 RSTDISBL"}},
    {"ATmega48",  {"CKDIV8 CKOUT SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0",
                   "RSTDISBL DWEN SPIEN WDTON EESAVE BOOTSZ1 BOOTSZ0 BOOTRST",
                   "- - - - - - LB2 LB1", "- - - - - - - SELFPRGEN"}},
    {"ATmega64",  {"BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0",
                   "OCDEN JTAGEN SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST",
                   "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - - - - CompMode WDTON"}},
    {"ATmega8",   {"BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0",
                   "RSTDISBL WTDON SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST",
                   "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "off"}},
    {"ATmega8515", {"BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0",
                    "S8515C WTDON SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST",
                    "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "off"}},
    {"ATmega8535", {"BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0",
                    "S8535C WTDON SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST",
                    "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "off"}},
    {"ATmega88",  {"CKDIV8 CKOUT SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0",
                   "RSTDISBL DWEN SPIEN WDTON EESAVE BOOTSZ1 BOOTSZ0 BOOTRST",
                   "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - - - BOOTSZ1 BOOTSZ0 BOOTRST"}},
    {"ATtiny12",  {"off", "off", "- - - - - - LB2 LB1", "off"}},
    {"ATtiny13",  {"SPIEN EESAVE WDTON CKDIV8 SUT1 SUT0 CKSEL1 CKSEL0",
                   "- - - SELFPRGEN DWEN BODLEVEL1 BODLEVEL0 RSTDISBL",
                   "- - - - - - LB2 LB1", "off"}},
    {"ATtiny15",  {"off", "off", "- - - - - - LB2 LB1", "off"}},
    {"ATtiny2313", {"CKDIV8 CKOUT SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0",
                    "RSTDISBL DWEN SPIEN WDTON EESAVE BODLEVEL2 BODLEVEL1 BODLEVEL0",
                    "- - - - - - LB2 LB1", "- - - - - - - SELFPRGEN"}},
    {"ATtiny26",  {"PLLCK CKOUT SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0",
                   "- - - RSTDISBL SPIEN EESAVE BODLEVEL BODEN",
                   "- - - - - - LB2 LB1", "off"}},
}};
// clang-format on

QString PlainBitCaption(int bit) { return QStringLiteral("Bit %1").arg(bit); }

FuseLayout LookupFuseLayout(QStringView device)
{
    FuseLayout layout;
    for (auto &group : layout.groups)
        for (int k = 0; k < 8; ++k)
            group.captions[k] = PlainBitCaption(k);
    for (const auto &entry : FuseLayoutTable) {
        if (device != QLatin1String(entry.device))
            continue;
        layout.inTable = true;
        for (std::size_t g = 0; g < 4; ++g) {
            const QString cell = QString::fromLatin1(entry.groups[g]);
            if (cell == QLatin1String("off")) {
                layout.groups[g].on = false;
                continue;
            }
            const QStringList words = cell.split(QLatin1Char(' '));
            for (int k = 0; k < 8 && k < words.size(); ++k) {
                const QString &word = words[words.size() - 1 - k];  // the cell runs from bit 7 down
                if (word != QLatin1String("-"))
                    layout.groups[g].captions[k] = word;
            }
        }
        break;
    }
    return layout;
}

}  // namespace fuses
