#include "common/windows/SystemText.h"

#include <gtest/gtest.h>

namespace reradav {

TEST(SystemText, Windows1252SurvivesTheWindowsAndWhatItLacksIsSaid) {
    std::string every;
    for (int b = 0; b < 256; ++b) {
        every += static_cast<char>(b);
    }
    bool lossless = false;
    EXPECT_EQ(WideToWindows1252(Windows1252ToWide(every), &lossless), every);
    EXPECT_TRUE(lossless);
    EXPECT_EQ(Windows1252ToWide("\x80\x9F"), L"\u20AC\u0178");
    struct Row {
        const wchar_t* text;
        const char* bytes;
    };
    for (const Row& row : {Row{L"\u0436\u0436", "??"}, Row{L"a\U0001F600b", "a?b"}}) {
        EXPECT_EQ(WideToWindows1252(row.text, &lossless), row.bytes);
        EXPECT_FALSE(lossless);
    }
}

}  // namespace reradav
