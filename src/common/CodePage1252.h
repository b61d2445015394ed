#pragma once

#include <cstdint>

namespace reradav {

// The Windows-1252 code page, in which reads, key strings and settings are kept. The five
// bytes it leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for the C1 code points of the
// same number, so every byte has a character and back.
char32_t Windows1252ToUnicode(std::uint8_t byte);
// The byte for a character, or -1 when Windows-1252 lacks it.
int UnicodeToWindows1252(char32_t character);

}  // namespace reradav
