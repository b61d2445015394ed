#include "common/Utf8ToWindows1252.h"

#include "common/CodePage1252.h"
#include "common/Unicode.h"

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
        const std::size_t start = i;
        const std::optional<char32_t> u = DecodeUtf8Character(utf8, i);
        if (!u) {
            result.error = Describe("invalid UTF-8", i);
            return result;
        }
        const int byte = UnicodeToWindows1252(*u);
        if (byte < 0) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(*u));
            result.error =
                Describe(std::string("character ") + code + " is not in Windows-1252", start);
            return result;
        }
        result.bytes.push_back(static_cast<char>(byte));
    }
    return result;
}

}  // namespace reradav
