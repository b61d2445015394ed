#include "keys/linux/WaylandKeyboard.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <memory>

namespace reradav {
namespace {

// The keymap sent to the compositor lends empty keys to characters the layout lacks: it
// compiles, each lent key types its character and the layout's own keys still type theirs.
TEST(WaylandKeyboard, TheKeymapSentHasAKeyForEachCharacterLent) {
    const auto layout = XkbLayout::FromNames({"evdev", "pc105", "de", "", ""}, nullptr);
    ASSERT_NE(layout, nullptr);
    std::vector<std::uint32_t> empty = layout->EmptyKeys();  // the named ones, as the keyboard
    std::erase_if(empty, [&](auto key) { return !xkb_keymap_key_get_name(layout->Keymap(), key); });
    ASSERT_GE(empty.size(), 2u);
    const std::unique_ptr<char, decltype(&std::free)> text(
        xkb_keymap_get_as_string(layout->Keymap(), XKB_KEYMAP_FORMAT_TEXT_V1), &std::free);
    const std::string keymap =
        KeymapWithKeys(text.get(), {{empty[0], 0xf1}, {empty[1], 0x20ac}}, *layout);
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* sent = xkb_keymap_new_from_string(
        context, keymap.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS);
    ASSERT_NE(sent, nullptr) << keymap.substr(keymap.size() - 400);
    xkb_state* state = xkb_state_new(sent);
    const auto typed = [&](std::uint32_t key) { return xkb_state_key_get_utf32(state, key); };
    EXPECT_EQ(std::u32string({typed(empty[0]), typed(empty[1]), typed(8 + 21)}), U"ñ€z");  // Y: z
    xkb_state_unref(state), xkb_keymap_unref(sent), xkb_context_unref(context);
    EXPECT_EQ(KeymapWithKeys("no symbols here", {{empty[0], 0x20ac}}, *layout), "");
}

}  // namespace
}  // namespace reradav
