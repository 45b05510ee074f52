#pragma once
// Reading numbers from field and output text, and writing byte values as fixed-width text.
#include <QString>
#include <optional>
#include <QStringView>
#include <cstdint>
#include <vector>

namespace fuses {

// Leading white space, one optional sign, in base 16 an optional "0x"/"0X", then the digits of the
// base up to the first other character. No digit gives 0. Saturates at the 32-bit range.
std::int32_t ReadNumber(QStringView text, int base);

// The value plus 256 as an unsigned 32-bit number, written in the base with lower-case letters,
// its first character dropped: 5 gives "05" or "00000101", 4096 gives "100", -1 gives "1111111".
QString FixedWidthText(std::int32_t value, int base);

// Scans "0x%x,0x%x,..." for up to `count` numbers: "0x" exactly at the start and right after each
// comma, white space allowed before each number. Values not reached stay 0.
std::vector<std::uint32_t> ScanHexList(QStringView line, int count);

// The scanned values as two-digit texts joined in the order of the line.
QString HexListText(const std::vector<std::uint32_t> &values);

// A byte in one of the forms people write it in hex: "E1", "e1", "0xE1", "$E1" or "E1h" (one or two
// digits), blanks around allowed; nothing for any other text ("225", "0x1E1", "E1 E2").
std::optional<int> ParseByteText(QStringView text);

}  // namespace fuses
