#include "keys/linux/XkbLayout.h"

#include "common/CodePage1252.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "keys/VirtualKeys.h"

namespace reradav {
namespace {

constexpr std::int16_t kShift = 0x100;
constexpr std::int16_t kAltGr = 0x600;

std::int16_t Vk(std::uint16_t evdev) {
    return VkForEvdevCode(evdev);
}

std::unique_ptr<XkbLayout> Compile(const std::string& layout, const std::string& variant = "") {
    XkbNames names;
    names.layout = layout;
    names.variant = variant;
    std::string error;
    auto compiled = XkbLayout::FromNames(names, &error);
    EXPECT_NE(compiled, nullptr) << error;
    return compiled;
}

// Windows' US VkKeyScanA: each key of the main block with its unshifted and shifted character.
std::map<char, std::int16_t> WindowsUsKeyValues() {
    struct Row {
        const char* plain;
        const char* shifted;
        std::vector<std::int16_t> vks;
    };
    const Row rows[] = {
        {"`1234567890-=",
         "~!@#$%^&*()_+",
         {0xC0, '1', '2', '3', '4', '5', '6', '7', '8', '9', '0', 0xBD, 0xBB}},
        {"qwertyuiop[]\\",
         "QWERTYUIOP{}|",
         {'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', 0xDB, 0xDD, 0xDC}},
        {"asdfghjkl;'", "ASDFGHJKL:\"", {'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', 0xBA, 0xDE}},
        {"zxcvbnm,./", "ZXCVBNM<>?", {'Z', 'X', 'C', 'V', 'B', 'N', 'M', 0xBC, 0xBE, 0xBF}},
    };
    std::map<char, std::int16_t> values{{' ', 0x20}};
    for (const Row& row : rows) {
        for (std::size_t i = 0; i < row.vks.size(); ++i) {
            values[row.plain[i]] = row.vks[i];
            values[row.shifted[i]] = static_cast<std::int16_t>(kShift | row.vks[i]);
        }
    }
    return values;
}

TEST(XkbLayoutUs, EveryPrintableAsciiCharacterAsWindowsUsAnswers) {
    auto us = Compile("us");
    ASSERT_NE(us, nullptr);
    const auto expected = WindowsUsKeyValues();
    ASSERT_EQ(expected.size(), 95u);  // 0x20..0x7E, each once
    for (const auto& [character, value] : expected) {
        EXPECT_EQ(us->KeyValue(static_cast<std::uint8_t>(character)), value)
            << "character '" << character << "'";
    }
}

TEST(XkbLayoutUs, ControlCharactersWithKeysOfTheirOwn) {
    auto us = Compile("us");
    ASSERT_NE(us, nullptr);
    EXPECT_EQ(us->KeyValue(8), VK_BACK);
    EXPECT_EQ(us->KeyValue(9), VK_TAB);
    EXPECT_EQ(us->KeyValue(13), VK_RETURN);
    EXPECT_EQ(us->KeyValue(27), VK_ESCAPE);
    for (int c : {0, 1, 7, 10, 12, 26, 31}) {
        EXPECT_EQ(us->KeyValue(static_cast<std::uint8_t>(c)), -1) << "code " << c;
    }
}

TEST(XkbLayoutUs, CharactersTheLayoutLacksHaveNoKey) {
    auto us = Compile("us");
    ASSERT_NE(us, nullptr);
    for (int c : {0x80, 0x81, 0x8D, 0xA3, 0xDF, 0xE4, 0xE9, 0xFF}) {
        EXPECT_EQ(us->KeyValue(static_cast<std::uint8_t>(c)), -1) << "code " << c;
    }
}

TEST(XkbLayoutDe, LettersYAndZChangePlaces) {
    auto de = Compile("de");
    ASSERT_NE(de, nullptr);
    EXPECT_EQ(de->KeyValue('z'), Vk(KEY_Y));
    EXPECT_EQ(de->KeyValue('y'), Vk(KEY_Z));
    EXPECT_EQ(de->KeyValue('Z'), kShift | Vk(KEY_Y));
    EXPECT_EQ(de->KeyValue('a'), Vk(KEY_A));
}

TEST(XkbLayoutDe, UmlautsAndSharpSAreOnPlainKeys) {
    auto de = Compile("de");
    ASSERT_NE(de, nullptr);
    EXPECT_EQ(de->KeyValue(0xE4), Vk(KEY_APOSTROPHE));           // ä
    EXPECT_EQ(de->KeyValue(0xC4), kShift | Vk(KEY_APOSTROPHE));  // Ä
    EXPECT_EQ(de->KeyValue(0xF6), Vk(KEY_SEMICOLON));            // ö
    EXPECT_EQ(de->KeyValue(0xFC), Vk(KEY_LEFTBRACE));            // ü
    EXPECT_EQ(de->KeyValue(0xDF), Vk(KEY_MINUS));                // ß
    EXPECT_EQ(de->KeyValue(0xB0), kShift | Vk(KEY_GRAVE));       // °
}

TEST(XkbLayoutDe, AltGrCharactersCarryControlAndAlt) {
    auto de = Compile("de");
    ASSERT_NE(de, nullptr);
    EXPECT_EQ(de->KeyValue('@'), kAltGr | Vk(KEY_Q));
    EXPECT_EQ(de->KeyValue('{'), kAltGr | Vk(KEY_7));
    EXPECT_EQ(de->KeyValue('['), kAltGr | Vk(KEY_8));
    EXPECT_EQ(de->KeyValue('}'), kAltGr | Vk(KEY_0));
    EXPECT_EQ(de->KeyValue('~'), kAltGr | Vk(KEY_RIGHTBRACE));
    EXPECT_EQ(de->KeyValue('\\'), kAltGr | Vk(KEY_MINUS));
    EXPECT_EQ(de->KeyValue(0x80), kAltGr | Vk(KEY_E));  // € of Windows-1252
}

TEST(XkbLayoutDe, FourthLevelNeedsShiftAndAltGr) {
    auto de = Compile("de");
    ASSERT_NE(de, nullptr);
    // × is Shift+AltGr on the comma key of German keyboards.
    EXPECT_EQ(de->KeyValue(0xD7), kShift | kAltGr | Vk(KEY_COMMA));
}

TEST(XkbLayoutDe, IsoKeyLeftOfZServesWhenNoOtherKeyDoes) {
    auto de = Compile("de");
    ASSERT_NE(de, nullptr);
    EXPECT_EQ(de->KeyValue('<'), Vk(KEY_102ND));
    EXPECT_EQ(de->KeyValue('>'), kShift | Vk(KEY_102ND));
    EXPECT_EQ(de->KeyValue('|'), kAltGr | Vk(KEY_102ND));
}

TEST(XkbLayoutDe, DeadKeysAreNotCharacters) {
    auto de = Compile("de");
    ASSERT_NE(de, nullptr);
    EXPECT_EQ(de->KeyValue('^'), -1);  // dead_circumflex
    auto noDeadKeys = Compile("de", "nodeadkeys");
    ASSERT_NE(noDeadKeys, nullptr);
    EXPECT_EQ(noDeadKeys->KeyValue('^'), Vk(KEY_GRAVE));
}

TEST(XkbLayoutGroups, SecondGroupIsUsedWhenActive) {
    auto both = Compile("us,de");
    ASSERT_NE(both, nullptr);
    EXPECT_EQ(both->KeyValue('z'), Vk(KEY_Z));
    EXPECT_EQ(both->KeyValue(0xE4), -1);
    both->SetGroup(1);
    EXPECT_EQ(both->KeyValue('z'), Vk(KEY_Y));
    EXPECT_EQ(both->KeyValue(0xE4), Vk(KEY_APOSTROPHE));
    both->SetGroup(0);
    EXPECT_EQ(both->KeyValue('z'), Vk(KEY_Z));
}

TEST(XkbLayoutGroups, ExistingKeymapAndGroupAreUsed) {
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    ASSERT_NE(context, nullptr);
    const xkb_rule_names names = {"evdev", "pc105", "fr,de", "", ""};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ASSERT_NE(keymap, nullptr);
    {
        XkbLayout layout(keymap, 1);
        xkb_keymap_unref(keymap);  // the layout keeps its own reference
        EXPECT_EQ(layout.Group(), 1u);
        EXPECT_EQ(layout.KeyValue('z'), Vk(KEY_Y));
        layout.SetGroup(0);
        EXPECT_EQ(layout.KeyValue('a'), Vk(KEY_Q));  // AZERTY
    }
    xkb_context_unref(context);
}

TEST(XkbLayoutReload, NewNamesReplaceTheAnswers) {
    auto layout = Compile("us");
    ASSERT_NE(layout, nullptr);
    XkbNames de;
    de.layout = "de";
    std::string error;
    ASSERT_TRUE(layout->Reload(de, &error)) << error;
    EXPECT_EQ(layout->KeyValue('z'), Vk(KEY_Y));
    EXPECT_EQ(layout->KeyValue(0x80), kAltGr | Vk(KEY_E));
}

TEST(XkbLayoutReload, UnknownLayoutIsRefusedAndTheOldOneKept) {
    XkbNames bogus;
    bogus.layout = "no-such-layout";
    std::string error;
    EXPECT_EQ(XkbLayout::FromNames(bogus, &error), nullptr);
    EXPECT_NE(error.find("no-such-layout"), std::string::npos) << error;

    auto layout = Compile("de");
    ASSERT_NE(layout, nullptr);
    error.clear();
    EXPECT_FALSE(layout->Reload(bogus, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(layout->KeyValue('z'), Vk(KEY_Y));
}

TEST(Windows1252, HighBlockAndLatin1) {
    EXPECT_EQ(Windows1252ToUnicode(0x80), U'\u20AC');
    EXPECT_EQ(Windows1252ToUnicode(0x8A), U'\u0160');
    EXPECT_EQ(Windows1252ToUnicode(0x9F), U'\u0178');
    EXPECT_EQ(Windows1252ToUnicode(0x96), U'\u2013');
    for (int undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(Windows1252ToUnicode(static_cast<std::uint8_t>(undefined)),
                  static_cast<char32_t>(undefined));  // the C1 code point of that number
    }
    for (int c : {0x00, 0x41, 0x7F, 0xA0, 0xE4, 0xFF}) {
        EXPECT_EQ(Windows1252ToUnicode(static_cast<std::uint8_t>(c)), static_cast<char32_t>(c));
    }
}

class SystemKeyboardNamesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char name[] = "/tmp/reradav-keyboard-XXXXXX";
        const int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        file_ = name;
    }
    void TearDown() override { std::remove(file_.c_str()); }

    void WriteFile(const std::string& text) { std::ofstream(file_) << text; }

    EnvLookup Env() const {
        return [this](const char* name) -> std::optional<std::string> {
            const auto it = env_.find(name);
            if (it == env_.end()) {
                return std::nullopt;
            }
            return it->second;
        };
    }

    std::string file_;
    std::map<std::string, std::string> env_;
};

TEST_F(SystemKeyboardNamesTest, XkbDefaultVariablesWin) {
    env_ = {{"XKB_DEFAULT_LAYOUT", "de"},
            {"XKB_DEFAULT_VARIANT", "nodeadkeys"},
            {"XKB_DEFAULT_OPTIONS", "lv3:ralt_switch"}};
    WriteFile("XKBLAYOUT=\"fr\"\n");
    const XkbNames names = SystemKeyboardNames(Env(), {file_});
    EXPECT_EQ(names.layout, "de");
    EXPECT_EQ(names.variant, "nodeadkeys");
    EXPECT_EQ(names.options, "lv3:ralt_switch");
    EXPECT_EQ(names.model, "pc105");
}

TEST_F(SystemKeyboardNamesTest, VariantAloneInTheEnvironmentIsIgnored) {
    env_ = {{"XKB_DEFAULT_VARIANT", "nodeadkeys"}};
    WriteFile("XKBLAYOUT=\"fr\"\nXKBVARIANT=\"azerty\"\n");
    const XkbNames names = SystemKeyboardNames(Env(), {file_});
    EXPECT_EQ(names.layout, "fr");
    EXPECT_EQ(names.variant, "azerty");
}

TEST_F(SystemKeyboardNamesTest, DebianKeyboardFile) {
    WriteFile(
        "# KEYBOARD CONFIGURATION FILE\n"
        "\n"
        "XKBMODEL=\"pc104\"\n"
        "XKBLAYOUT=\"de,us\"\n"
        "XKBVARIANT='nodeadkeys,'\n"
        "XKBOPTIONS=grp:alt_shift_toggle\n"
        "BACKSPACE=\"guess\"\n");
    const XkbNames names = SystemKeyboardNames(Env(), {"/nonexistent/keyboard", file_});
    EXPECT_EQ(names.model, "pc104");
    EXPECT_EQ(names.layout, "de,us");
    EXPECT_EQ(names.variant, "nodeadkeys,");
    EXPECT_EQ(names.options, "grp:alt_shift_toggle");
    EXPECT_EQ(names.rules, "evdev");
}

TEST_F(SystemKeyboardNamesTest, FileWithoutLayoutFallsThroughToUs) {
    WriteFile("XKBMODEL=\"pc104\"\nXKBLAYOUT=\"\"\n");
    const XkbNames names = SystemKeyboardNames(Env(), {"/nonexistent/keyboard", file_});
    EXPECT_EQ(names.layout, "us");
    EXPECT_EQ(names.variant, "");
    EXPECT_EQ(names.model, "pc105");
}

TEST_F(SystemKeyboardNamesTest, NamesFromTheFileCompile) {
    WriteFile("XKBLAYOUT=de\nXKBVARIANT=nodeadkeys\n");
    std::string error;
    auto layout = XkbLayout::FromNames(SystemKeyboardNames(Env(), {file_}), &error);
    ASSERT_NE(layout, nullptr) << error;
    EXPECT_EQ(layout->KeyValue('^'), Vk(KEY_GRAVE));
}

}  // namespace
}  // namespace reradav
