#include "common/Utf8ToWindows1252.h"

#include <gtest/gtest.h>

#include <string>

namespace reradav {
namespace {

std::string Bytes(std::string_view utf8) {
    const Windows1252Result r = Utf8ToWindows1252(utf8);
    EXPECT_TRUE(r.ok()) << r.error;
    return r.bytes;
}

TEST(Utf8ToWindows1252, AsciiAndControlsPassUnchanged) {
    EXPECT_EQ(Bytes("4006381333931"), "4006381333931");
    EXPECT_EQ(Bytes(std::string("a\0b\r\n\t\x7f", 7)), std::string("a\0b\r\n\t\x7f", 7));
    EXPECT_EQ(Bytes(""), "");
}

TEST(Utf8ToWindows1252, LatinOneLettersBecomeOneByte) {
    EXPECT_EQ(Bytes("\u00e9"), "\xe9");  // é, two UTF-8 bytes
    EXPECT_EQ(Bytes("Stra\u00dfe"),
              "Stra\xdf"
              "e");  // ß
    EXPECT_EQ(Bytes("\u00a0\u00ff"), "\xa0\xff");
}

TEST(Utf8ToWindows1252, TheEightiesBlockMapsToItsPunctuation) {
    EXPECT_EQ(Bytes("\u20ac"), "\x80");  // €
    EXPECT_EQ(Bytes("\u2013"), "\x96");  // –
    EXPECT_EQ(Bytes("\u2014"), "\x97");  // —
    EXPECT_EQ(Bytes("\u201e\u201c"), "\x84\x93");
    EXPECT_EQ(Bytes("\u2122"), "\x99");  // ™
    EXPECT_EQ(Bytes("\u0160\u017d\u0178"), "\x8a\x8e\x9f");
    EXPECT_EQ(Bytes("12,50 \u20ac \u2013 A"), "12,50 \x80 \x96 A");
}

TEST(Utf8ToWindows1252, UndefinedSlotsKeepTheirControlCodePoint) {
    EXPECT_EQ(Bytes("\u0081\u008d\u008f\u0090\u009d"), "\x81\x8d\x8f\x90\x9d");
}

TEST(Utf8ToWindows1252, CharactersOutsideTheCodePageAreErrors) {
    for (const char* text : {"\u0080", "\u0100", "\u4e2d", "\U0001F600", "\u0096"}) {
        const Windows1252Result r = Utf8ToWindows1252(std::string("ok") + text);
        EXPECT_FALSE(r.ok()) << text;
        EXPECT_NE(r.error.find("not in Windows-1252"), std::string::npos) << r.error;
        EXPECT_NE(r.error.find("byte 3"), std::string::npos) << r.error;
    }
    EXPECT_NE(Utf8ToWindows1252("\u0100").error.find("U+0100"), std::string::npos);
}

TEST(Utf8ToWindows1252, InvalidUtf8IsAnError) {
    for (const std::string& text : {
             std::string("\x80"),              // continuation without a lead
             std::string("a\xc3"),             // truncated at the end
             std::string("\xc3(x"),            // lead without continuation
             std::string("\xe2\x82"),          // three-byte form cut short
             std::string("\xc0\x80"),          // overlong NUL
             std::string("\xc1\xbf"),          // overlong
             std::string("\xe0\x80\x80"),      // overlong
             std::string("\xf0\x80\x80\x80"),  // overlong
             std::string("\xed\xa0\x80"),      // surrogate
             std::string("\xf4\x90\x80\x80"),  // above U+10FFFF
             std::string("\xf5\x80\x80\x80"),
             std::string("\xff"),
         }) {
        const Windows1252Result r = Utf8ToWindows1252(text);
        EXPECT_FALSE(r.ok()) << testing::PrintToString(text);
        EXPECT_NE(r.error.find("invalid UTF-8"), std::string::npos) << r.error;
    }
    EXPECT_NE(Utf8ToWindows1252("abc\xe2\x82").error.find("byte 4"), std::string::npos);
}

}  // namespace
}  // namespace reradav
