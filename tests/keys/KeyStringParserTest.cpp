#include "keys/KeyStringParser.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "keys/RecordingKeyboard.h"
#include "support/Fakes.h"

namespace reradav {
namespace {

using ::testing::ElementsAreArray;

struct ParseCase {
    std::string keys;
    ParseResult result;
    std::vector<std::int16_t> codes;  // checked only for ParseOk
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << '"' << c.keys << '"';
}

class ParseKeyStringTest : public ::testing::TestWithParam<ParseCase> {
  protected:
    std::vector<std::int16_t> Queued() const {
        return {queue.codes.begin(), queue.codes.begin() + queue.writeIndex};
    }
    RecordingKeyboard keyboard;
    KeyStringParser parser{keyboard};
    KeyCodeQueue queue;
};

TEST_P(ParseKeyStringTest, QueuesTheKeysOrFails) {
    const ParseCase& c = GetParam();
    ASSERT_EQ(parser.ParseKeyString(c.keys, queue), c.result);
    if (c.result == ParseOk) {
        EXPECT_THAT(Queued(), ElementsAreArray(c.codes));
    }
}

constexpr std::int16_t S = kShiftToggle, C = kControlToggle, A = kAltToggle;

INSTANTIATE_TEST_SUITE_P(
    Plain, ParseKeyStringTest,
    ::testing::Values(ParseCase{"", ParseOk, {}}, ParseCase{"ab", ParseOk, {65, 66}},
                      ParseCase{"A", ParseOk, {S, 65, S}}, ParseCase{"~", ParseOk, {13}},
                      ParseCase{"a)", ParseOk, {65, S, 48, S}},
                      ParseCase{"x y", ParseOk, {88, 32, 89}},
                      ParseCase{"\xE9", ParseOk, {S, 255, S}},  // no key on a US layout
                      ParseCase{"]}", ParseOk, {221, S, 221, S}}));

INSTANTIATE_TEST_SUITE_P(
    BracedKeys, ParseKeyStringTest,
    ::testing::Values(
        ParseCase{"{ENTER}", ParseOk, {13}}, ParseCase{"{left}", ParseOk, {37}},
        ParseCase{"{TAB 2}", ParseOk, {9, 9}}, ParseCase{"{TAB   2}", ParseOk, {9, 9}},
        ParseCase{"{LEFT 2.5}", ParseOk, {37, 37}}, ParseCase{"{F4 &H2}", ParseOk, {115, 115}},
        ParseCase{"{A 3}", ParseOk, {S, 65, 65, 65, S}}, ParseCase{"{a}", ParseOk, {65}},
        ParseCase{"{}}", ParseOk, {S, 221, S}}, ParseCase{"{} 3}", ParseOk, {S, 221, 221, 221, S}},
        ParseCase{"{ }", ParseOk, {32}}, ParseCase{"{{}", ParseOk, {S, 219, S}},
        ParseCase{"{~}", ParseOk, {S, 192, S}}, ParseCase{"{+}", ParseOk, {S, 187, S}},
        ParseCase{"{^}", ParseOk, {S, 54, S}}, ParseCase{"{%}", ParseOk, {S, 53, S}},
        ParseCase{"{(}", ParseOk, {S, 57, S}}, ParseCase{"{)}", ParseOk, {S, 48, S}},
        ParseCase{"{BREAK}", ParseOk, {19}}, ParseCase{"{ENTER}{TAB}x", ParseOk, {13, 9, 88}},
        ParseCase{"{LEFT 3}4}", ParseOk, {37, 37, 37, 52, S, 221, S}}));

INSTANTIATE_TEST_SUITE_P(GroupsAndModifiers, ParseKeyStringTest,
                         ::testing::Values(ParseCase{"()", ParseOk, {}},
                                           ParseCase{"+(ab)", ParseOk, {S, 65, 66, S}},
                                           ParseCase{"^{F4}", ParseOk, {C, 115, C}},
                                           ParseCase{"%", ParseOk, {A, A}},
                                           ParseCase{"+A", ParseOk, {S, S, 65, S, S}},
                                           ParseCase{"^+~", ParseOk, {C, S, 13, S, C}},
                                           ParseCase{"((a)(b))c", ParseOk, {65, 66, 67}},
                                           ParseCase{"%(+a)", ParseOk, {A, S, 65, S, A}}));

INSTANTIATE_TEST_SUITE_P(
    Errors, ParseKeyStringTest,
    ::testing::Values(
        ParseCase{"{LEFT 0}", BadRepeatCount, {}}, ParseCase{"{LEFT x}", BadRepeatCount, {}},
        ParseCase{"{LEFT 40000}", BadRepeatCount, {}}, ParseCase{"{ 3}", UnknownKeyName, {}},
        ParseCase{"{ ENTER}", UnknownKeyName, {}}, ParseCase{"{FOO}", UnknownKeyName, {}},
        ParseCase{"{SPACE}", UnknownKeyName, {}}, ParseCase{"{SCROLLLOCK}", UnknownKeyName, {}},
        ParseCase{"{LEFT", MissingCloseBrace, {}}, ParseCase{"abc{", MissingCloseBrace, {}},
        ParseCase{"{}", MissingCloseBrace, {}}, ParseCase{"{LEFT 3", MissingCloseBrace, {}},
        ParseCase{"(ab", MissingCloseParen, {}}, ParseCase{"(+)", MissingCloseParen, {}},
        ParseCase{"(a{FOO})", UnknownKeyName, {}}, ParseCase{"+{FOO}", UnknownKeyName, {}},
        ParseCase{"{LEFT -1}", QueueFull, {}}));

class QueueLimits : public ParseKeyStringTest {};

TEST_F(QueueLimits, HoldsExactly4096Codes) {
    EXPECT_EQ(parser.ParseKeyString(std::string(4096, 'a'), queue), ParseOk);
    EXPECT_EQ(queue.writeIndex, 4096);
    EXPECT_EQ(parser.ParseKeyString(std::string(4097, 'a'), queue), QueueFull);
    EXPECT_EQ(parser.ParseKeyString("{a 4096}", queue), ParseOk);
    EXPECT_EQ(parser.ParseKeyString("{A 4095}", queue), QueueFull);  // + two Shift toggles
}

TEST_F(QueueLimits, EveryParseStartsWithAnEmptyQueue) {
    ASSERT_EQ(parser.ParseKeyString("abc", queue), ParseOk);
    queue.readIndex = 2;
    ASSERT_EQ(parser.ParseKeyString("d", queue), ParseOk);
    EXPECT_EQ(queue.readIndex, 0);
    EXPECT_THAT(Queued(), ElementsAreArray({68}));
}

TEST_F(QueueLimits, DeepNestingFailsWithoutOverflowingTheStack) {
    EXPECT_EQ(parser.ParseKeyString(std::string(30000, '('), queue), MissingCloseParen);
    EXPECT_EQ(parser.ParseKeyString(std::string(30000, '+'), queue), QueueFull);
    EXPECT_EQ(parser.ParseKeyString(std::string(30000, '^') + "a", queue), QueueFull);
    std::string balanced = std::string(16000, '(') + "a" + std::string(16000, ')');
    EXPECT_EQ(parser.ParseKeyString(balanced, queue), ParseOk);
    EXPECT_THAT(Queued(), ElementsAreArray({65}));
}

TEST_F(QueueLimits, OverlongKeyStringsAreRefused) {
    std::string longest = std::string(16383, '(') + std::string(16383, ')');
    EXPECT_EQ(parser.ParseKeyString(longest, queue), ParseOk);
    EXPECT_EQ(parser.ParseKeyString(longest + "(", queue), KeyStringTooLong);
}

TEST(AltGrKeys, AreWrappedInAnAltGrTogglePair) {
    test::AltGrKeyboard keyboard;
    KeyStringParser parser(keyboard);
    KeyCodeQueue queue;
    ASSERT_EQ(parser.ParseKeyString("{@ 2}", queue), ParseOk);
    std::vector<std::int16_t> codes(queue.codes.begin(), queue.codes.begin() + queue.writeIndex);
    EXPECT_THAT(codes,
                ElementsAreArray(std::vector<std::int16_t>{kAltGrToggle, 81, 81, kAltGrToggle}));
    // -1 ("no key") has every bit set but still means Shift + key 255 only.
    ASSERT_EQ(parser.ParseKeyString("\xE9", queue), ParseOk);
    codes.assign(queue.codes.begin(), queue.codes.begin() + queue.writeIndex);
    EXPECT_THAT(codes, ElementsAreArray(std::vector<std::int16_t>{S, 255, S}));
}

}  // namespace
}  // namespace reradav
