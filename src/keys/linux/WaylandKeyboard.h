#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "keys/KeyboardPlatform.h"
#include "keys/linux/XkbLayout.h"

namespace reradav {

// The layout's keymap as text with more keys: each keycode (one the keymap names but leaves
// empty) given one keysym on both levels. "" when the text has no symbols section.
std::string KeymapWithKeys(const std::string& keymap,
                           const std::vector<std::pair<std::uint32_t, std::uint32_t>>& keys,
                           const XkbLayout& layout);

// Keyboard output through the Wayland virtual-keyboard protocol (zwp_virtual_keyboard_v1, which
// wlroots compositors such as sway offer): no device permissions, and since the client sends
// its own keymap, a character the layout lacks gets a key of its own in it. The keymap is the
// user's layout as the desktop settings name it (DesktopKeyboardNames); the compositor takes
// the modifier state from us, so it is kept here with xkbcommon.
class WaylandKeyboard : public KeyboardPlatform {
  public:
    // Connects to $WAYLAND_DISPLAY (or `display`) and makes a keyboard on its first seat;
    // nullptr and a sentence in *error when there is no compositor or it offers no virtual
    // keyboards.
    static std::unique_ptr<WaylandKeyboard> Open(std::function<void()> serviceEvents,
                                                 std::unique_ptr<XkbLayout> layout,
                                                 std::string* error, const char* display = nullptr);
    // Lets go of every key and modifier, then removes the keyboard.
    ~WaylandKeyboard() override;
    WaylandKeyboard(const WaylandKeyboard&) = delete;
    WaylandKeyboard& operator=(const WaylandKeyboard&) = delete;

    std::int16_t VkKeyScanA(std::uint8_t character) override;
    std::uint32_t MapVirtualKeyA(std::uint32_t code, std::uint32_t mapType) override;
    void keybd_event(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    void GetKeyboardState(KeyboardState& state) override;
    void SetKeyboardState(const KeyboardState& state) override;
    std::uint32_t GetTickCount() override;
    void ServiceEvents() override;
    bool CanTypeCharacter(std::uint8_t character) override;
    std::string LayoutName() override;
    std::string Failure() override;

    // Where the layout was found ("sway", …).
    const std::string& LayoutSource() const { return layoutSource_; }

  private:
    struct Impl;
    explicit WaylandKeyboard(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
    std::string layoutSource_;
};

}  // namespace reradav
