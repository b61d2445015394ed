#include "readproc/KeyTrans.h"

#include <gtest/gtest.h>

#include "keys/KeyboardEmitter.h"
#include "keys/RecordingKeyboard.h"

namespace reradav {
namespace {

class KeyTransTyping : public ::testing::Test {
  protected:
    KeyTransTyping() { InitKeyTrans(table); }

    std::string Type(const std::string& read) {
        kb.ClearActions();
        for (char c : read) {
            EXPECT_EQ(emitter.SimKeys(table[static_cast<unsigned char>(c)]), ParseOk)
                << "code " << int(static_cast<unsigned char>(c));
        }
        return kb.Actions();
    }

    KeyTransTable table;
    RecordingKeyboard kb;
    KeyboardEmitter emitter{kb};
};

TEST_F(KeyTransTyping, EveryEntryParses) {
    RecordingKeyboard layout;
    KeyStringParser parser(layout);
    KeyCodeQueue queue;
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(parser.ParseKeyString(table[static_cast<std::size_t>(i)], queue), ParseOk) << i;
    }
}

TEST_F(KeyTransTyping, DollarAndPercentAreFunctionKeys) {
    EXPECT_EQ(Type("12$"), "(49 d) (49 u) (50 d) (50 u) (120 d) (120 u)");
    EXPECT_EQ(Type("5%"), "(53 d) (53 u) (121 d) (121 u)");
}

TEST_F(KeyTransTyping, NotationCharactersAreTypedLiterally) {
    const std::string shifted[][2] = {{"{", "219"}, {"}", "221"}, {"+", "187"}, {"^", "54"},
                                      {"~", "192"}, {"(", "57"},  {")", "48"}};
    for (const auto& [ch, vk] : shifted) {
        EXPECT_EQ(Type(ch), "(16 d) (" + vk + " d) (" + vk + " u) (16 u)") << ch;
    }
    EXPECT_EQ(Type("[]"), "(219 d) (219 u) (221 d) (221 u)");
}

TEST_F(KeyTransTyping, ControlCharactersAreNamedKeysOrNothing) {
    EXPECT_EQ(Type("1\r\n"), "(49 d) (49 u) (13 d) (13 u)");  // line feed types nothing
    EXPECT_EQ(Type("\t\x1b\b\x7f"), "(9 d) (9 u) (27 d) (27 u) (8 d) (8 u) (46 d) (46 u)");
    EXPECT_EQ(Type(" \xA0"), "(32 d) (32 u) (32 d) (32 u)");
    std::string silent;
    for (int i : {0, 1, 7, 10, 12, 14, 26, 28, 31, 128, 140, 159}) {
        silent += static_cast<char>(i);
    }
    EXPECT_EQ(Type(silent), "");
}

TEST_F(KeyTransTyping, OtherCharactersTypeThemselves) {
    EXPECT_EQ(table['A'], "A");
    EXPECT_EQ(table[0xE9], "\xE9");
    EXPECT_EQ(table[0xA1], "\xA1");
    EXPECT_EQ(Type("\xE9"), "(16 d) (255 d) (255 u) (16 u)");  // no such key on a US layout
}

TEST_F(KeyTransTyping, InitReplacesWhateverTheTableHeld) {
    table[13] = "{TAB}";
    table[65] = "";
    InitKeyTrans(table);
    EXPECT_EQ(table[13], "{ENTER}");
    EXPECT_EQ(table[65], "A");
}

}  // namespace
}  // namespace reradav
