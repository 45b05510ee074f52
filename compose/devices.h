#pragma once
// The devices the window was made for: one row each, holding everything known of the device.
#include <array>
#include <cstddef>

namespace compose {

struct DeviceRow {
    const char *name;  // display name, as the device box shows it
    const char *code;  // what follows "-p"
    bool listed;       // offered in the device box's list (others work only when typed)
    // Fuse layout of the low fuse, high fuse, lock byte and extended fuse: "off", or eight captions
    // from bit 7 down to bit 0, "-" where the bit keeps its plain caption. Empty: no layout.
    std::array<const char *, 4> fuses;
};

// In the order the part codes are looked up, which is also the order of the device list.
// clang-format off
inline constexpr DeviceRow DeviceTable[] = {
    {"AT90S1200", "1200", false, {}},
    {"AT90S2313", "2313", true,
     {"off", "off", "- - - - - - LB2 LB1", "off"}},
    {"AT90S2333", "2333", false, {}},
    {"AT90S2343", "2343", true,
     {"- - - - - - - -", "off", "- - - - - - LB2 LB1", "off"}},
    {"AT90S4414", "4414", true,
     {"- - - - - FSTRT SPIEN -", "off", "- - - - - - LB2 LB1", "off"}},
    {"AT90S4433", "4433", true,
     {"- - - - - - - -", "off", "- - - - - - LB2 LB1", "off"}},
    {"AT90S4434", "4434", true,
     {"- - - - - FSTRT SPIEN -", "off", "- - - - - - LB2 LB1", "off"}},
    {"AT90S8515", "8515", true,
     {"- - - - - FSTRT SPIEN -", "off", "- - - - - - LB2 LB1", "off"}},
    {"AT90S8535", "8535", true,
     {"- - - - - FSTRT SPIEN -", "off", "- - - - - - LB2 LB1", "off"}},
    {"ATmega103", "m103", true,
     {"BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0", "off", "- - - - - - LB2 LB1", "off"}},
    {"ATmega128", "m128", true,
     {"BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0", "OCDEN JTAGEN SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST", "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - - - - M103C WDTON"}},
    {"ATmega16", "m16", true,
     {"BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0", "OCDEN JTAGEN SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST", "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - - - - M103C WDTON"}},
    {"ATmega161", "m161", true,
     {"- BOOTRST SPIEN SUT - CKSEL2 CKSEL1 CKSEL0", "off", "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "off"}},
    {"ATmega162", "m162", true,
     {"CLKDIV8 CKOUT SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0", "OCDEN JTAGEN SPIEN WDTON EESAVE BOOTSZ1 BOOTSZ0 BOOTRST", "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - M161C BODLEVEL2 BODLEVEL1 BODLEVEL0 -"}},
    {"ATmega163", "m163", true,
     {"BODLEVEL BODEN SPIEN - CKSEL3 CKSEL2 CKSEL1 CKSEL0", "- - - - - BOOTSZ1 BOOTSZ0 BOOTRST", "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - M161C BODLEVEL2 BODLEVEL1 BODLEVEL0 -"}},
    {"ATmega169", "m169", true,
     {"CLKDIV8 CKOUT SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0", "OCDEN JTAGEN SPIEN WDTON EESAVE BOOTSZ1 BOOTSZ0 BOOTRST", "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - - BODLEVEL2 BODLEVEL1 BODLEVEL0 RSTDISBL"}},
    {"ATmega32", "m32", true,
     {"BODLEVEL BODEN - - CKSEL3 CKSEL2 CKSEL1 CKSEL0", "OCDEN JTAGEN SPIEN - EESAVE BOOTSZ1 BOOTSZ0 BOOTRST", "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - - BODLEVEL2 BODLEVEL1 BODLEVEL0 RSTDISBL"}},
    {"ATmega48", "m48", true,
     {"CKDIV8 CKOUT SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0", "RSTDISBL DWEN SPIEN WDTON EESAVE BODLEVEL2 BODLEVEL1 BODLEVEL0", "- - - - - - LB2 LB1", "- - - - - - - SELFPRGEN"}},
    {"ATmega64", "m64", true,
     {"BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0", "OCDEN JTAGEN SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST", "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - - - - CompMode WDTON"}},
    {"ATmega8", "m8", true,
     {"BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0", "RSTDISBL WTDON SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST", "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "off"}},
    {"ATmega8515", "m8515", true,
     {"BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0", "S8515C WTDON SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST", "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "off"}},
    {"ATmega8535", "m8535", true,
     {"BODLEVEL BODEN SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0", "S8535C WTDON SPIEN CKOPT EESAVE BOOTSZ1 BOOTSZ0 BOOTRST", "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "off"}},
    {"ATmega88", "m88", true,
     {"CKDIV8 CKOUT SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0", "RSTDISBL DWEN SPIEN WDTON EESAVE BODLEVEL2 BODLEVEL1 BODLEVEL0", "- - BLB12 BLB11 BLB02 BLB01 LB2 LB1", "- - - - - BOOTSZ1 BOOTSZ0 BOOTRST"}},
    {"ATtiny12", "t12", true,
     {"off", "off", "- - - - - - LB2 LB1", "off"}},
    {"ATtiny13", "t13", true,
     {"SPIEN EESAVE WDTON CKDIV8 SUT1 SUT0 CKSEL1 CKSEL0", "- - - SELFPRGEN DWEN BODLEVEL1 BODLEVEL0 RSTDISBL", "- - - - - - LB2 LB1", "off"}},
    {"ATtiny15", "t15", true,
     {"off", "off", "- - - - - - LB2 LB1", "off"}},
    {"ATtiny2313", "t2313", true,
     {"CKDIV8 CKOUT SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0", "DWEN EESAVE SPIEN WDTON BODLEVEL2 BODLEVEL1 BODLEVEL0 RSTDISBL", "- - - - - - LB2 LB1", "- - - - - - - SELFPRGEN"}},
    {"ATtiny26", "t26", true,
     {"PLLCK CKOPT SUT1 SUT0 CKSEL3 CKSEL2 CKSEL1 CKSEL0", "- - - RSTDISBL SPIEN EESAVE BODLEVEL BODEN", "- - - - - - LB2 LB1", "off"}},
};
// clang-format on

inline constexpr std::size_t kDeviceCount = std::size(DeviceTable);

}  // namespace compose
