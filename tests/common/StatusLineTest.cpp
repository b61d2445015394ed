#include "common/StatusLine.h"

#include <gtest/gtest.h>

namespace reradav {

using Lines = std::vector<std::string>;

// Each subject keeps its place and its own sentence: one clearing its message leaves the
// others', and one speaking again does not move to the end.
TEST(StatusLine, SubjectsAreKeptApartInTheOrderTheyFirstSpoke) {
    StatusLine line;
    line.Set("keyboard", "cannot type '\xF1' on layout us");
    line.Set("port state", "port error: COM3: Access is denied");
    EXPECT_EQ(line.Sentences(),
              Lines({"Cannot type '\xF1' on layout us.", "Port error: COM3: Access is denied."}));
    line.Set("keyboard", "");
    line.Set("settings",
             "\xE9"
             "chec");
    line.Set("keyboard",
             "\x9A"
             "koda");
    EXPECT_EQ(line.Sentences(), Lines({"\x8A"
                                       "koda.",
                                       "Port error: COM3: Access is denied.",
                                       "\xC9"
                                       "chec."}));
    line.Set("port state", "");
    line.Set("settings", "");
    line.Set("keyboard", "");
    EXPECT_TRUE(line.Sentences().empty());
}

}  // namespace reradav
