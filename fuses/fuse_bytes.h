#pragma once
// The four bytes of the byte editors: everything the program knows of each, in one row.
#include <array>
#include <cstddef>

namespace fuses {

enum class FuseByte { Low, High, Lock, Extended };

struct FuseByteRow {
    FuseByte byte;
    const char *memory;   // avrdude's memory name after "-U"
    const char *caption;  // the editor's group title
    const char *what;     // as the user is told ("the low fuse read failed")
    const char *noun;     // the byte itself ("Read the low fuse byte (lfuse) from the chip")
    // The design names of the editor's controls: its group, hex and binary fields, the prefix of its
    // eight bit boxes (the bit number follows) and its Read and Write buttons.
    const char *groupName, *hexName, *binaryName, *bitPrefix, *readName, *writeName;
};

inline constexpr FuseByteRow FuseByteTable[] = {
    {FuseByte::Low, "lfuse", "Low Fuse Byte", "low fuse", "low fuse byte", "GroupBox3", "MaskEdit30", "MaskEdit31", "CheckBox3",
     "SpeedButton1", "SpeedButton7"},
    {FuseByte::High, "hfuse", "High Fuse Byte", "high fuse", "high fuse byte", "GroupBox4", "MaskEdit40", "MaskEdit41", "CheckBox4",
     "SpeedButton2", "SpeedButton8"},
    {FuseByte::Lock, "lock", "Lock Fuse Byte", "lock", "lock byte", "GroupBox5", "MaskEdit50", "MaskEdit51", "CheckBox5",
     "SpeedButton3", "SpeedButton9"},
    {FuseByte::Extended, "efuse", "Ext Fuse Byte", "extended fuse", "extended fuse byte", "GroupBox6", "MaskEdit60", "MaskEdit61",
     "CheckBox6", "SpeedButton4", "SpeedButton10"},
};
inline constexpr std::size_t kFuseByteCount = std::size(FuseByteTable);

constexpr const FuseByteRow &Row(FuseByte byte) { return FuseByteTable[static_cast<std::size_t>(byte)]; }
constexpr std::size_t Index(FuseByte byte) { return static_cast<std::size_t>(byte); }

// Every byte in table order, for `for (FuseByte b : AllFuseBytes)`.
inline constexpr auto AllFuseBytes = [] {
    std::array<FuseByte, kFuseByteCount> out{};
    for (std::size_t i = 0; i < kFuseByteCount; ++i)
        out[i] = FuseByteTable[i].byte;
    return out;
}();

}  // namespace fuses
