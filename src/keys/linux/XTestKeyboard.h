#pragma once

#include <functional>
#include <memory>
#include <string>

#include "keys/KeyboardPlatform.h"
#include "keys/linux/KeymapGuard.h"

namespace reradav {

// Keyboard output into an X11 session through the XTest extension. The layout is the X server's
// own keymap, fetched again whenever the server announces a new one (setxkbmap).
// Xlib stays in the .cpp: this header is read by moc.
class XTestKeyboard : public KeyboardPlatform {
  public:
    // Connects to the display (nullptr: $DISPLAY); nullptr and a sentence in *error when the
    // display cannot be opened or lacks XTest or XKB. A lent key is kept `keepMs` after its last
    // use before it is lent again.
    static std::unique_ptr<XTestKeyboard> Open(std::function<void()> serviceEvents,
                                               std::string* error,
                                               const char* displayName = nullptr,
                                               std::uint32_t keepMs = kLentKeyKeepMs);
    ~XTestKeyboard() override;
    XTestKeyboard(const XTestKeyboard&) = delete;
    XTestKeyboard& operator=(const XTestKeyboard&) = delete;

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
    void SetListener(Listener listener) override;
    void StopWaitingAt(std::uint32_t tick) override;

  private:
    struct Impl;
    explicit XTestKeyboard(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace reradav
