#include "common/ui/Windows1252.h"

#include <gtest/gtest.h>

namespace reradav {
namespace {

TEST(Windows1252, EveryByteSurvivesTheRoundTrip) {
    std::string all;
    for (int i = 0; i < 256; ++i) {
        all.push_back(static_cast<char>(i));
    }
    bool lossless = false;
    EXPECT_EQ(ToWindows1252(FromWindows1252(all), &lossless), all);
    EXPECT_TRUE(lossless);
}

TEST(Windows1252, TheHighBlockIsWindowsNotLatin1) {
    EXPECT_EQ(FromWindows1252("\x80\x96\x9F"), QString::fromUtf8("€–Ÿ"));
    EXPECT_EQ(FromWindows1252("\xE4\xA0"), QString::fromUtf8("ä\u00A0"));
    EXPECT_EQ(ToWindows1252(QString::fromUtf8("€ß")), "\x80\xDF");
}

TEST(Windows1252, CharactersItLacksBecomeQuestionMarks) {
    bool lossless = true;
    EXPECT_EQ(ToWindows1252(QString::fromUtf8("a\u0416b\U0001F600"), &lossless), "a?b??");
    EXPECT_FALSE(lossless);
}

}  // namespace
}  // namespace reradav
