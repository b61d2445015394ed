#include "common/Utf8ToWindows1252.h"

#include <cstdio>

namespace reradav {
namespace {

// 0x80..0x9F; 0 where Windows-1252 has no character.
constexpr char32_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

int ByteFor(char32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
        return static_cast<int>(u);
    }
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == u) {
            return 0x80 + i;
        }
        if (kHigh[i] == 0 && u == static_cast<char32_t>(0x80 + i)) {
            return 0x80 + i;
        }
    }
    return -1;
}

std::string Describe(const std::string& what, std::size_t offset) {
    return what + " at byte " + std::to_string(offset + 1);
}

}  // namespace

Windows1252Result Utf8ToWindows1252(std::string_view utf8) {
    Windows1252Result result;
    result.bytes.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        int extra = 0;
        char32_t u = 0;
        char32_t least = 0;
        if (lead < 0x80) {
            u = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1, u = lead & 0x1F, least = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2, u = lead & 0x0F, least = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3, u = lead & 0x07, least = 0x10000;
        } else {
            result.error = Describe("invalid UTF-8", i);
            return result;
        }
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= utf8.size() || (static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) {
                result.error = Describe("invalid UTF-8", i);
                return result;
            }
            u = (u << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        }
        if (u < least || u > 0x10FFFF || (u >= 0xD800 && u <= 0xDFFF)) {
            result.error = Describe("invalid UTF-8", i);
            return result;
        }
        const int byte = ByteFor(u);
        if (byte < 0) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(u));
            result.error =
                Describe(std::string("character ") + code + " is not in Windows-1252", i);
            return result;
        }
        result.bytes.push_back(static_cast<char>(byte));
        i += static_cast<std::size_t>(extra) + 1;
    }
    return result;
}

}  // namespace reradav
