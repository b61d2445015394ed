#include "serial/LineSettings.h"

#include <gtest/gtest.h>

#include "serial/SerialComponent.h"

namespace reradav {
namespace {

LineIndexes Parsed(const std::string& text) {
    LineIndexes idx;  // the start values: rate index 8
    EXPECT_TRUE(ParseLineSettings(text, idx)) << text;
    return idx;
}

#define EXPECT_INDEXES(idx, baud, parity, data, stop) \
    do {                                              \
        EXPECT_EQ((idx).BaudIndex, baud);             \
        EXPECT_EQ((idx).ParityIndex, parity);         \
        EXPECT_EQ((idx).DataBitsIndex, data);         \
        EXPECT_EQ((idx).StopBitsIndex, stop);         \
    } while (0)

TEST(ParseLineSettings, PlacesEachPartInItsList) {
    EXPECT_INDEXES(Parsed("9600,N,8,1"), 6, 0, 3, 0);
    EXPECT_INDEXES(Parsed("19200,E,7,2"), 7, 2, 2, 2);
    EXPECT_INDEXES(Parsed("4800,S,5,1.5"), 5, 4, 0, 1);
    EXPECT_INDEXES(Parsed("115200,M,6,1"), 10, 3, 1, 0);
    EXPECT_INDEXES(Parsed("110,O,8,2"), 0, 1, 3, 2);
}

TEST(ParseLineSettings, WhatItCannotPlaceFallsBack) {
    EXPECT_INDEXES(Parsed("14400,O,8,1"), 8, 1, 3, 0);  // rate not in the list: kept
    EXPECT_INDEXES(Parsed("9600,n,8,1"), 6, 2, 3, 0);   // letters are case-sensitive: Even
    EXPECT_INDEXES(Parsed("9600,"), 6, 2, 2, 0);
    EXPECT_INDEXES(Parsed(" 9600 ,N,8,1"), 6, 0, 3, 0);
}

TEST(ParseLineSettings, ATextWithoutACommaChangesNothing) {
    LineIndexes idx{1, 2, 1, 2};
    EXPECT_FALSE(ParseLineSettings("9600", idx));
    EXPECT_FALSE(ParseLineSettings("", idx));
    EXPECT_INDEXES(idx, 1, 2, 1, 2);
}

TEST(BuildLineSettings, JoinsTheListChoices) {
    EXPECT_EQ(BuildLineSettings({3, 3, 2, 1}), "1200,M,7,1.5");
    EXPECT_EQ(BuildLineSettings({6, 0, 3, 0}), "9600,N,8,1");
    EXPECT_EQ(BuildLineSettings({10, 2, 2, 1}), "115200,E,7,1.5");
    EXPECT_EQ(BuildLineSettings({-1, -1, -1, -1}), "0,E,7,1");
    EXPECT_EQ(BuildLineSettings({11, 5, 4, 3}), "0,E,7,1");
}

TEST(LineSettingsRoundTrip, EveryStringTheDialogCanBuildComesBackUnchanged) {
    int checked = 0;
    for (std::int16_t b = 0; b < 11; ++b) {
        for (std::int16_t p = 0; p < 5; ++p) {
            for (std::int16_t d = 0; d < 4; ++d) {
                for (std::int16_t s = 0; s < 3; ++s) {
                    const LineIndexes chosen{b, p, d, s};
                    const std::string text = BuildLineSettings(chosen);
                    LineIndexes parsed{-5, -5, -5, -5};
                    ASSERT_TRUE(ParseLineSettings(text, parsed)) << text;
                    EXPECT_INDEXES(parsed, b, p, d, s);
                    EXPECT_EQ(BuildLineSettings(parsed), text);
                    ++checked;
                }
            }
        }
    }
    EXPECT_EQ(checked, 11 * 5 * 4 * 3);
}

TEST(FlowControlFor, GivesTheComponentModeAndRts) {
    auto none = FlowControlFor(0), xon = FlowControlFor(1), hw = FlowControlFor(2),
         opto = FlowControlFor(3);
    ASSERT_TRUE(none && xon && hw && opto);
    EXPECT_EQ(none->Handshaking, SerialComponent::comNone);
    EXPECT_TRUE(none->RTSEnable);
    EXPECT_EQ(xon->Handshaking, SerialComponent::comRTSXOnXOff);  // mode 3, not 1
    EXPECT_TRUE(xon->RTSEnable);
    EXPECT_EQ(hw->Handshaking, SerialComponent::comRTS);
    EXPECT_TRUE(hw->RTSEnable);
    EXPECT_EQ(opto->Handshaking, SerialComponent::comNone);
    EXPECT_FALSE(opto->RTSEnable);
    EXPECT_FALSE(FlowControlFor(-1).has_value());
    EXPECT_FALSE(FlowControlFor(4).has_value());
}

}  // namespace
}  // namespace reradav
