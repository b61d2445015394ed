#include "common/DisplayText.h"

#include "common/CodePage1252.h"

namespace reradav {
namespace {

// The OEM glyphs of the control characters, as a terminal font draws them.
constexpr char16_t kControlGlyphs[32] = {
    0x2400, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9,
    0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7,
    0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};

}  // namespace

std::u16string DisplayCharacters(const std::string& bytes) {
    std::u16string text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto code = static_cast<std::uint8_t>(byte);
        text += code < 32     ? kControlGlyphs[code]
                : code == 127 ? u'\u2302'
                              : static_cast<char16_t>(Windows1252ToUnicode(code));
    }
    return text;
}

}  // namespace reradav
