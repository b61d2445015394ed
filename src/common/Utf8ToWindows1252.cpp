#include "common/Utf8ToWindows1252.h"

#include "common/CodePage1252.h"

#include <cstdio>

namespace reradav {
namespace {

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
        const int byte = UnicodeToWindows1252(u);
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
