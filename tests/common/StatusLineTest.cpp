#include "common/StatusLine.h"

#include <gtest/gtest.h>

namespace reradav {

using Lines = std::vector<std::string>;

// Each subject keeps its place and its own sentence: one clearing its message leaves the
// others', and one speaking again does not move to the end. Capitals are Windows-1252's.
TEST(StatusLine, SubjectsAreKeptApartInTheOrderTheyFirstSpoke) {
    StatusLine line;
    const std::pair<const char*, std::string> said[] = {{"keyboard", "x"},
                                                        {"port", "\xE9t\xE9"},
                                                        {"keyboard", ""},
                                                        {"save", "no"},
                                                        {"keyboard", std::string("\x9A") + "a"}};
    for (const auto& [subject, text] : said) {
        line.Set(subject, text);
    }
    EXPECT_EQ(line.Sentences(), Lines({std::string("\x8A") + "a.", "\xC9t\xE9.", "No."}));
}

}  // namespace reradav
