#include "common/CodePage1252.h"

namespace reradav {
namespace {

// 0x80..0x9F; 0 where Windows-1252 has no character.
constexpr char32_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

char32_t Windows1252ToUnicode(std::uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F && kHigh[byte - 0x80] != 0) {
        return kHigh[byte - 0x80];
    }
    return byte;
}

int UnicodeToWindows1252(char32_t character) {
    if (character < 0x100 &&
        Windows1252ToUnicode(static_cast<std::uint8_t>(character)) == character) {
        return static_cast<int>(character);
    }
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] != 0 && kHigh[i] == character) {
            return 0x80 + i;
        }
    }
    return -1;
}

}  // namespace reradav
