#include "common/CodePage1252.h"

#include <gtest/gtest.h>

namespace reradav {

TEST(CodePage1252, EveryByteHasACharacterAndBack) {
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(UnicodeToWindows1252(Windows1252ToUnicode(static_cast<std::uint8_t>(b))), b);
    }
    EXPECT_EQ(Windows1252ToUnicode(0x80), U'\u20ac');
    EXPECT_EQ(Windows1252ToUnicode(0x9F), U'\u0178');
    for (char32_t lacking : {U'\u0080', U'\u0096', U'\u0100', U'\U0001F600'}) {
        EXPECT_EQ(UnicodeToWindows1252(lacking), -1) << static_cast<unsigned>(lacking);
    }
}

}  // namespace reradav
