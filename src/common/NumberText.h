#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace reradav {

// Reads the number at the front of a text the way the settings file, repeat counts and the
// scanner beep string have always been read: blanks, tabs and line feeds are ignored wherever
// they stand; "&H" and "&O" introduce hexadecimal and octal; otherwise an optional sign,
// digits, a decimal point and an exponent. Reading stops at the first other character; no
// number gives 0. A value too large for a double gives +/-infinity, which no rounding accepts.
double LeadingNumber(std::string_view text);

// Round to the nearest whole number, halves to the even neighbour; nullopt when out of range.
std::optional<std::int16_t> RoundToInt16(double value);
std::optional<std::int32_t> RoundToInt32(double value);

}  // namespace reradav
