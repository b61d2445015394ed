#include "keys/KeyStringParser.h"

#include <gtest/gtest.h>
#include <string>
#include <string_view>

#include "keys/RecordingKeyboard.h"
#include "support/Fakes.h"

namespace reradav {
namespace {

// Each row is "key string => queued codes", or "=> !n" for ParseResult n. 16, 17, 18 and 165
// are the toggles of Shift, Control, Alt and AltGr.
template <typename... Rows>
void ExpectParses(KeyboardPlatform& kb, Rows... rows) {
    for (std::string_view row : {std::string_view(rows)...}) {
        const std::size_t arrow = row.find(" => ");
        KeyCodeQueue q;
        const ParseResult r = KeyStringParser(kb).ParseKeyString(row.substr(0, arrow), q);
        std::string out = r == ParseOk ? "" : "!" + std::to_string(r);
        for (int i = 0; i < q.writeIndex && r == ParseOk; ++i) {
            out += (i ? " " : "") + std::to_string(q.codes[static_cast<std::size_t>(i)]);
        }
        EXPECT_EQ(out, row.substr(arrow + 4)) << row;
    }
}

TEST(ParseKeyString, QueuesTheKeysOrFails) {
    RecordingKeyboard kb;
    ExpectParses(kb, " => ", "ab => 65 66", "A => 16 65 16", "~ => 13", "a) => 65 16 48 16",
                 "{ENTER}{left}x => 13 37 88", "{LEFT 2.5} => 37 37", "{A 3} => 16 65 65 65 16",
                 "{}} => 16 221 16", "{} 3} => 16 221 221 221 16", "{ } => 32", "{(} => 16 57 16",
                 "{LEFT 3}4} => 37 37 37 52 16 221 16", "() => ", "+(ab) => 16 65 66 16",
                 "^{F4} => 17 115 17", "% => 18 18", "+A => 16 16 65 16 16",
                 "((a)(b))c => 65 66 67", "%(+a) => 18 16 65 16 18");
    // Missing close brace (1), unknown key name (2), missing close paren (3), bad repeat count
    // (4), queue full (5: 4,096 codes, and "{A 4095}" needs two Shift toggles besides).
    ExpectParses(kb, "{LEFT => !1", "{} => !1", "{LEFT 3 => !1", "{ 3} => !2", "(a{FOO}) => !2",
                 "(ab => !3", "(+) => !3", "{LEFT 0} => !4", "{LEFT 40000} => !4",
                 "{LEFT 1e9223372036854775807} => !4", "{LEFT -1} => !5", "{A 4095} => !5");
    // Deep nesting fails or succeeds without overflowing the stack; past 32,766 characters the
    // key string is too long (6).
    const std::string deep = std::string(16382, '(') + "a" + std::string(16382, ')');
    ExpectParses(kb, std::string(30000, '^') + "a => !5", deep + "b => 65 66", deep + "bc => !6");
}

// A character with no key of its own: its dead-key sequence, the platform's own means (code
// 256 + character), or nothing at all, never a bare Shift; the last is reported once.
TEST(ParseKeyString, CharactersWithoutAKeyOfTheirOwn) {
    test::AltGrKeyboard de;
    ExpectParses(de, "\xE9x => 221 69 88", "{\xC8 2} => 16 221 16 16 69 16 16 221 16 16 69 16",
                 "+(\xF1){\xF1 2} => 16 497 16 497 497", "{\xE9 -1} => !5", "a\xFC => 65",
                 std::string("{\0} => ", 7) /* not Shift, AltGr and key 255 */);
    RecordingKeyboard us;
    KeyStringParser parser(us);
    KeyCodeQueue q;
    EXPECT_EQ(parser.ParseKeyString(std::string("\xE9{\xF1}\xE9") + "b", q), ParseOk);
    EXPECT_EQ(parser.Untypable() + " " + std::to_string(q.writeIndex), "\xE9\xF1 1");
}

}  // namespace
}  // namespace reradav
