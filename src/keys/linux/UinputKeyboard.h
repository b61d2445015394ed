#pragma once

#include <functional>
#include <memory>
#include <string>

#include "keys/KeyboardPlatform.h"
#include "keys/linux/XkbLayout.h"

namespace reradav {

// Keyboard output through a virtual input device (/dev/uinput): works under Wayland, X11 and on
// the console. The compositor's layout cannot be asked for, so characters are looked up in the
// layout the desktop settings name (DesktopKeyboardNames).
class UinputKeyboard : public KeyboardPlatform {
  public:
    static constexpr const char* kDevicePath = "/dev/uinput";

    // Opens the device node and creates one virtual keyboard for the life of the object;
    // nullptr and a sentence in *error when that fails.
    static std::unique_ptr<UinputKeyboard> Open(std::function<void()> serviceEvents,
                                                std::unique_ptr<XkbLayout> layout,
                                                std::string* error,
                                                const char* devicePath = kDevicePath);
    // Writes events to a descriptor that is already open, without device set-up (a pipe or a
    // socket in tests). The descriptor stays the caller's.
    UinputKeyboard(int fd, std::unique_ptr<XkbLayout> layout, std::function<void()> serviceEvents);
    ~UinputKeyboard() override;
    UinputKeyboard(const UinputKeyboard&) = delete;
    UinputKeyboard& operator=(const UinputKeyboard&) = delete;

    std::int16_t VkKeyScanA(std::uint8_t character) override;
    std::uint32_t MapVirtualKeyA(std::uint32_t code, std::uint32_t mapType) override;
    void keybd_event(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    void GetKeyboardState(KeyboardState& state) override;
    void SetKeyboardState(const KeyboardState& state) override;
    std::uint32_t GetTickCount() override;
    void ServiceEvents() override;
    std::vector<std::int16_t> DeadKeySequence(std::uint8_t character) override;
    std::string LayoutName() override;

    const XkbLayout& Layout() const { return *layout_; }
    // Where the layout was found ("GNOME settings", …); empty when the caller gave it.
    const std::string& LayoutSource() const { return layoutSource_; }

  private:
    struct OwnedDevice {};
    UinputKeyboard(OwnedDevice, int fd, std::unique_ptr<XkbLayout> layout,
                   std::function<void()> serviceEvents);
    void WriteEvent(std::uint16_t code, std::int32_t value);
    void ReadLeds();

    int fd_;
    bool ownsDevice_;
    std::unique_ptr<XkbLayout> layout_;
    std::string layoutSource_;
    std::function<void()> serviceEvents_;
    KeyboardState state_{};
    static constexpr std::uint32_t kCapsEchoWaitMs = 1000;
    bool capsLock_ = false;
    int capsEchoesPending_ = 0;           // own Caps Lock toggles whose light has not come back
    std::uint32_t capsTrustedUntil_ = 0;  // GetTickCount time
    bool numLock_ = false;
    bool scrollLock_ = false;
};

}  // namespace reradav
