#include "shell/ProfileFile.h"

#include <gtest/gtest.h>

namespace reradav {

TEST(ProfileFileTest, ReadsByThePrivateProfileRules) {
    const std::string longer = std::string(199, 'y') + "z";
    const ProfileFile profile(
        "a=before any section\n  [ ReRaDaV ]  \r\n \tPostamble \t= \t{TAB} x \t\r\ncomport=3\n"
        "AZaz=case\n; b=commented\nnot a key\nq1=\"x y\"\nq2= 'x y' \nq3=\"\"twice\"\"\n"
        "q4=\"mixed'\nq5=\"\nq6=\"\"\nq7=\"inner\" text\nq8= \" padded \" \nempty=\n"
        "blank=\v\f \r\r\nbytes=\x96\xA0\xFF\nlong=" +
        longer + "\nquoted=\"" + longer +
        "\"\n"
        "dup=first\nDUP=second\n[T]\r\nd=other\n[reradav]\ne=second section");
    std::string seen;
    for (const char* key :
         {"ComPort",   "COMPORT", "postamble", "azAZ",  "ComPor", "a",  "b",  "; b",
          "not a key", "q1",      "q2",        "q3",    "q4",     "q5", "q6", "q7",
          "q8",        "empty",   "blank",     "bytes", "dup",    "d",  "e"})
        seen += profile.GetString("Reradav", key, "?") + "|";
    EXPECT_EQ(seen,
              "3|3|{TAB} x|case|?|?|?|?|?|x y|x y|\"twice\"|\"mixed'|\"||\"inner\" text| padded "
              "|||\x96\xA0\xFF|first|?|?|");
    EXPECT_EQ(*profile.Find("T", "D") + profile.GetString("Reradav2", "ComPort", "?"), "other?");
    EXPECT_EQ(*profile.Find("RERADAV", "long") + *profile.Find("RERADAV", "quoted"),
              longer.substr(0, 199) + longer.substr(0, 199));
}

// One write; lines that are not the key stay as they are, where they are.
TEST(ProfileFileTest, WritesInPlaceAfterTheSectionOrAtTheEnd) {
    const std::string rows[][4] = {
        {"; c\n[s]\na=1\nb=2\n\n[T]\na=9", "A", "4", "; c|[s]|a=4|b=2||[T]|a=9|"},
        {"[S]\n  bEEp = 1 \n", "Beep", "0", "[S]|bEEp=0|"},
        {"[S]\n  a = 1 \n", "a", "1", "[S]|  a = 1 |"},
        {"[S]\na=1\n; n\n\n\n[T]\n", "b", "2", "[S]|a=1|; n|b=2|||[T]|"},
        {"[S]\n\n[T]\n", "a", "1", "[S]|a=1||[T]|"},
        {"[T]\nx=1\n[S]\n\n", "a", "1", "[T]|x=1|[S]|a=1||"},
        {"", "a", "1", "[S]|a=1|"},
        {"[O]\nx=1", "a", "1", "[O]|x=1||[S]|a=1|"},
        {"[O]\r\nx=1\r\n\r\n", "a", "1", "[O]|x=1||[S]|a=1|"},
        {"[S]\nv=old\n", "v", "first\r\n[I]\r\nx=1", "[S]|v=first|"},
        {"[S]\n", "v", " lead", "[S]|v=\" lead\"|"},
        {"[S]\n", "v", "'q'", "[S]|v=\"'q'\"|"},
        {"[S]\n", "v", "t\t", "[S]|v=\"t\t\"|"},
        {"[S]\n", "v", "\"\"", "[S]|v=\"\"\"\"|"},
        {"[S]\n", "v", std::string("a\0b", 3), "[S]|v=ab|"} /* a NUL would make it no text */};
    for (const auto& [before, key, value, after] : rows) {
        ProfileFile profile(before);
        profile.WriteString("S", key, value);
        std::string text = profile.Text();
        for (std::size_t at; (at = text.find_first_of("\r\n")) != std::string::npos;)
            text.replace(at, text.compare(at, 2, "\r\n") == 0 ? 2 : 1, "|");
        EXPECT_EQ(text, after) << before;
    }
}

// Windows' UTF-16 files, an editor's UTF-8 with a byte-order mark, CR line ends: read alike,
// written back in their own encoding and line ends, with no second section. In UTF-16 rows,
// each byte below stands for the character of that number, and \x01 for "п" (U+043F).
TEST(ProfileFileTest, EveryEncodingAndLineEndIsReadAndKept) {
    const auto utf16 = [](std::string_view text, bool big) {
        std::string bytes = big ? "\xFE\xFF" : "\xFF\xFE";
        for (const char c : text) {
            const char units[2] = {c == '\x01' ? '\x3F' : c, c == '\x01' ? '\x04' : '\0'};
            bytes += {units[big ? 1 : 0], units[big ? 0 : 1]};
        }
        return bytes;
    };
    const std::string before = "[Reradav]\r\nPassword=\xE9\x01\r\n; \x01\r\n";
    const std::string after = "[Reradav]\r\nPassword=\xE9\x01\r\n; \x01\r\nBeep=1\r\n";
    const std::string rows[][2] = {
        {"[reradav]\r\nPassword=\xE9?\r\n; x\r\n",
         "[reradav]\r\nPassword=\xE9?\r\n; x\r\nBeep=1\r\n"},
        {"[reradav]\rPassword=\xE9?\r; x", "[reradav]\rPassword=\xE9?\r; x\rBeep=1\r"},
        {"\xEF\xBB\xBF[reradav]\nPassword=\xC3\xA9\xD0\xBF\n; \xD0\xBF\n",
         "\xEF\xBB\xBF[reradav]\nPassword=\xC3\xA9\xD0\xBF\n; \xD0\xBF\nBeep=1\n"},
        {utf16(before, false), utf16(after, false)},
        {utf16(before, true), utf16(after, true)}};
    for (const auto& [bytes, written] : rows) {
        ProfileFile profile(bytes);
        EXPECT_EQ(profile.GetString("Reradav", "Password", "-"), "\xE9?") << bytes;
        profile.WriteString("Reradav", "Password", "\xE9?");  // reads the same: left as it is
        profile.WriteString("Reradav", "Beep", "1");
        EXPECT_TRUE(profile.Text() == written) << bytes;
        profile.WriteString("Reradav", "Password", "\x80");
        EXPECT_EQ(ProfileFile(profile.Text()).GetString("Reradav", "Password", "-"), "\x80");
    }
}

}  // namespace reradav
