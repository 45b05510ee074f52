#pragma once
// What each setting of each fuse and lock field means, for every AVR part with device data
// (Microchip's device files, compiled in from device_meanings.inc): captions, the settings of
// multi-bit fields, and the factory defaults.
#include "fuses/fuse_bytes.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <span>

namespace fuses {

struct MeaningValue {
    const char *name;     // GPIO, NOLOCK ...: the data's own word for the setting
    const char *caption;
    std::uint32_t value;  // the field's raw bits, shifted down to its mask's lowest bit (0 = programmed)
};
struct MeaningField {
    const char *name;  // SUT_CKSEL, CKDIV8, LB ...
    const char *caption;
    std::uint32_t mask;
    int firstValue, valueCount;  // its settings in kMeaningValues; none for a field without a value group
};
struct MeaningRegister {
    const char *name;     // LOW, SYSCFG0, LOCKBIT, KEY
    const char *caption;  // "System Configuration 0"; may be empty
    bool lock;            // a register of the lock module (else of the fuses)
    int offset;           // its place in its module's registers
    int size;             // in bytes (the AVR Dx lock key has four)
    std::optional<FuseByte> byte;  // the byte editor it stands for, on a classic part
    std::uint32_t initval;         // the factory default
    int firstField, fieldCount;
};
struct MeaningDevice {
    const char *name;       // ATmega328P
    const char *signature;  // 1E950F
    bool onWhenSet;         // a one-bit field is on when its bit is 1 (UPDI parts), not 0
    int firstRegister, registerCount;
};

// The part's data, its name compared without regard to case; null for a part without data.
const MeaningDevice *FindMeanings(QStringView device);
std::span<const MeaningDevice> AllMeanings();
std::span<const MeaningRegister> Registers(const MeaningDevice &device);  // classic ones first, in FuseByte order
const MeaningRegister *RegisterOf(const MeaningDevice &device, FuseByte byte);
std::span<const MeaningField> Fields(const MeaningRegister &reg);
std::span<const MeaningValue> Settings(const MeaningField &field);

// A field's raw bits in a byte, and the byte with the field set to `raw`.
unsigned FieldBits(const MeaningField &field, unsigned byte);
unsigned WithFieldBits(const MeaningField &field, unsigned byte, unsigned raw);
// The setting of the field in `byte`; null when its group does not list it (or it has none).
const MeaningValue *SettingOf(const MeaningField &field, unsigned byte);
// What the field says in `byte`, for the user: the setting's caption, "0x05 (not a listed
// setting)", or for a one-bit field "programmed" / "unprogrammed".
QString Describe(const MeaningField &field, unsigned byte);

// The field that selects the clock source (its name holds CKSEL); null when the register has none.
const MeaningField *ClockField(const MeaningRegister &reg);
// True for a clock setting that needs something outside the chip: its caption starts with "Ext.".
bool IsExternalClock(const MeaningValue *setting);

// The name the part's data gives bit `bit` of the register: a one-bit field's own name, LB1 and LB2
// for the two bits of the lock field LB, a multi-bit field's name and the bit's place in it (BOOTSZ0,
// BOOTSZ1); empty where no field covers the bit.
QString BitName(const MeaningRegister &reg, int bit);

// What a one-bit field's caption means for the bit: a programmed bit (0) turns it on ("on,
// "Reset Disabled (Enable PC6 as i/o pin)""), an unprogrammed one (1) leaves it off ("off, not ...").
// `onWhenSet`: the part's (MeaningDevice::onWhenSet): its bits turn a feature on when 1.
QString OneBitMeaning(const MeaningField &field, unsigned bit, bool onWhenSet = false);

// One line per field of `reg` for `value`, in the data's order: "SUT_CKSEL = 0x22: Int. RC Osc. 8 MHz;
// ...", "CKDIV8 = 0 (programmed): on, \"Divide clock by 8 internally\"".
// A part whose bits are on when set says "EESAVE = 1: on, ...".
QStringList ExplainLines(const MeaningRegister &reg, unsigned value, bool onWhenSet = false);

// What a register that sets a flash section's boundary means for `value`, in bytes: the tinyAVR and
// megaAVR 0-series' BOOTEND and APPEND count blocks of 256 bytes, the AVR Dx and Ex series' BOOTSIZE
// and CODESIZE blocks of 512. Empty for any other register.
QString SectionBoundary(const MeaningRegister &reg, unsigned value);

}  // namespace fuses
