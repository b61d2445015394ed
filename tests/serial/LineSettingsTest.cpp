#include "serial/LineSettings.h"

#include <gtest/gtest.h>

namespace reradav {

// The dialog's lists: the rate is matched whole, the rest searched for after the first ",".
TEST(LineSettingsTest, ParsePlacesEachPartOrFallsBack) {
    std::string seen;
    for (const char* text : {"9600,N,8,1", "19200,E,7,2", "4800,S,5,1.5", "115200,M,6,1",
                             "110,O,8,2", "14400,O,8,1", "9600,n,8,1", "9600,", "9600"}) {
        LineIndexes indexes{1, 4, 0, 2};
        seen += ParseLineSettings(text, indexes) ? "" : "!";
        seen += BuildLineSettings(indexes) + " ";
    }
    EXPECT_EQ(seen,
              "9600,N,8,1 19200,E,7,2 4800,S,5,1.5 115200,M,6,1 110,O,8,2 300,O,8,1 9600,E,8,1 "
              "9600,E,7,1 !300,S,5,2 ");
    EXPECT_EQ(BuildLineSettings({-1, -1, -1, -1}) + BuildLineSettings({11, 5, 4, 3}),
              "0,E,7,10,E,7,1");
}

}  // namespace reradav
