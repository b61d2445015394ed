#include "keys/linux/XkbLayout.h"

#include <gtest/gtest.h>

#include "keys/VirtualKeys.h"
#include "support/FakeEnvironment.h"
#include "support/TempFolder.h"

namespace reradav {
namespace {

std::unique_ptr<XkbLayout> Layout(const char* layout, const char* variant = "") {
    return XkbLayout::FromNames({"evdev", "pc105", layout, variant, ""}, nullptr);
}

// Low byte the key, 0x100 Shift, 0x600 AltGr, as Windows answers; the ISO key left of Z (0xE2)
// only where no other key gives the character without AltGr; dead keys type nothing.
TEST(XkbLayout, KeyValuesAsWindowsGivesThem) {
    const std::tuple<const char*, std::uint32_t, unsigned char, int> rows[] = {
        {"us", 0, 'a', 'A'},   {"us", 0, 'A', 0x141},  {"us", 0, '<', 0x1BC},
        {"us", 0, '\r', 0x0D}, {"de", 0, '@', 0x651},  {"de", 0, 0xD7, 0x7BC},
        {"de", 0, '<', 0xE2},  {"de", 0, '>', 0x1E2},  {"de", 0, '|', 0x6E2},
        {"de", 0, '^', -1},    {"us,de", 1, 'z', 'Y'}, {"us,de", 0, 0xE4, -1}};
    for (const auto& [layout, group, c, value] : rows) {
        auto compiled = Layout(layout);
        compiled->SetGroup(group);
        EXPECT_EQ(compiled->KeyValue(c), value) << layout << " " << int{c};
    }
    std::string error;
    auto us = Layout("us");
    EXPECT_FALSE(us->Reload({"evdev", "pc105", "nosuch", "v", ""}, &error));
    EXPECT_EQ(error, "The keyboard layout \"nosuch(v)\" cannot be compiled.");
}

TEST(XkbLayout, SystemNamesComeFromTheEnvironmentThenTheFilesThenUs) {
    test::TempFolder temp;
    const std::tuple<std::map<std::string, std::string>, const char*, const char*> rows[] = {
        {{}, "# c\n XKBMODEL = \"pc104\" \nXKBLAYOUT=\"de\"\nXKBVARIANT='x,'\n", "pc104 de x, "},
        {{}, "XKBLAYOUT=fr\nnoise\nXKBOPTIONS=\"a'\n", "pc105 fr  \"a'"},
        {{}, "XKBMODEL=pc104\nXKBLAYOUT=\"\"\n", "pc105 us  "},
        {{{"XKB_DEFAULT_LAYOUT", "de"}, {"XKB_DEFAULT_MODEL", "m"}}, "XKBLAYOUT=fr", "m de  "}};
    for (const auto& [env, text, expected] : rows) {
        test::WriteBytes(temp / "keyboard", text);
        const XkbNames n = SystemKeyboardNames(test::Env(env), {"/no/file", temp / "keyboard"});
        EXPECT_EQ(n.model + " " + n.layout + " " + n.variant + " " + n.options, expected);
    }
}

// A character with no key: the layout's dead key, then the key it combines with by the compose
// rules; nothing where the layout has no such pair. Named keys are found where the keymap has
// them. Names as users write them.
TEST(XkbLayout, DeadKeysNamedKeysAndNames) {
    const std::tuple<const char*, unsigned char, std::vector<std::int16_t>> rows[] = {
        {"de", 0xE9, {0xBB, 'E'}}, {"de", '^', {0xC0, ' '}},  {"de", 0xC8, {0x1BB, 0x145}},
        {"fr", 0xEA, {0xDB, 'E'}}, {"pt", 0xE3, {0xDC, 'A'}}, {"us", 0xE9, {}},
        {"de", 0xE4, {}} /* has a key */};
    for (const auto& [layout, c, sequence] : rows) {
        EXPECT_EQ(Layout(layout)->DeadKeySequence(c), sequence) << layout << " " << int{c};
    }
    auto us = Layout("us", "dvorak");
    EXPECT_EQ(std::vector<int>({us->KeyForVk(kVkF1 + 12), us->KeyForVk(kVkClear),
                                us->KeyForVk(kVkCapital), us->KeyForVk('Q')}),
              std::vector<int>({0, 0, 58, 16}));
    EXPECT_EQ(us->Name() + " " + LayoutName({"", "", "de,us", ",dvorak", ""}, 1),
              "us(dvorak) us(dvorak)");
}

}  // namespace
}  // namespace reradav
