#include "common/Utf8ToWindows1252.h"

#include <gtest/gtest.h>
#include <string>

namespace reradav {

TEST(Utf8ToWindows1252, ConvertsOrSaysWhatStoppedItAndWhere) {
    EXPECT_EQ(Utf8ToWindows1252(std::string("\0\x7f\u00df\u00a0\u00ff", 8)).bytes,
              std::string("\0\x7f\xdf\xa0\xff", 5));
    EXPECT_EQ(Utf8ToWindows1252("5\u20ac\u2013\u0178").bytes, "5\x80\x96\x9f");
    EXPECT_EQ(Utf8ToWindows1252("\u00e9\u0100").error,
              "character U+0100 is not in Windows-1252 at byte 3");
    // The lowest and highest code point of each UTF-8 length.
    for (const char* utf8 : {"\u0080", "\u07ff", "\u0800", "\uffff", "\U00010000", "\U0010FFFF"}) {
        EXPECT_EQ(Utf8ToWindows1252(utf8).error.substr(0, 12), "character U+") << utf8;
    }
    // Stray and missing continuation bytes, an overlong form, surrogates, beyond U+10FFFF.
    for (const char* utf8 :
         {"\x80", "\xc3(x", "\xe0\x9f\xbf", "\xed\xa0\x80", "\xed\xbf\xbf", "\xf4\x90\x80\x80"}) {
        EXPECT_EQ(Utf8ToWindows1252(utf8).error, "invalid UTF-8 at byte 1") << utf8;
    }
}

}  // namespace reradav
