#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "keys/KeyboardPlatform.h"
#include "keys/linux/XkbLayout.h"

namespace reradav {

// Where an EvdevKeyboard's key events go: a route that takes Linux input key codes (uinput, a
// compositor's fake input, a remote-desktop session).
class KeySink {
  public:
    virtual ~KeySink() = default;
    virtual void Key(std::uint16_t code, bool press) = 0;
    // The lock lights (LED_CAPSL, LED_NUML, LED_SCROLLL and on or off) the compositor set since
    // the last call, oldest first; none from a route that does not report them.
    virtual std::vector<std::pair<std::uint16_t, bool>> TakeLights() { return {}; }
    // Why keys no longer arrive (the connection or the session ended); empty while they do.
    virtual std::string Failure() { return {}; }
};

// Keyboard output by key codes: characters are looked up in the layout the desktop settings name
// (DesktopKeyboardNames), since the compositor cannot be asked for its own, and the codes go to
// a sink.
class EvdevKeyboard : public KeyboardPlatform {
  public:
    // `layoutSource` says where the layout was found ("GNOME settings", …), or "".
    EvdevKeyboard(std::unique_ptr<KeySink> sink, std::unique_ptr<XkbLayout> layout,
                  std::function<void()> serviceEvents, std::string layoutSource = "");
    // Releases every key still down: the compositor keeps a key of a gone client down.
    ~EvdevKeyboard() override;
    EvdevKeyboard(const EvdevKeyboard&) = delete;
    EvdevKeyboard& operator=(const EvdevKeyboard&) = delete;

    std::int16_t VkKeyScanA(std::uint8_t character) override;
    std::uint32_t MapVirtualKeyA(std::uint32_t code, std::uint32_t mapType) override;
    void keybd_event(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    void GetKeyboardState(KeyboardState& state) override;
    void SetKeyboardState(const KeyboardState& state) override;
    std::uint32_t GetTickCount() override;
    void ServiceEvents() override;
    std::vector<std::int16_t> DeadKeySequence(std::uint8_t character) override;
    std::string LayoutName() override;
    std::string Failure() override { return sink_->Failure(); }

    const XkbLayout& Layout() const { return *layout_; }
    const std::string& LayoutSource() const { return layoutSource_; }

  private:
    void ReadLights();

    std::unique_ptr<KeySink> sink_;
    std::unique_ptr<XkbLayout> layout_;
    std::function<void()> serviceEvents_;
    std::string layoutSource_;
    std::set<std::uint16_t> down_;
    KeyboardState state_{};
    static constexpr std::uint32_t kCapsEchoWaitMs = 1000;
    bool capsLock_ = false;
    int capsEchoesPending_ = 0;           // own Caps Lock toggles whose light has not come back
    std::uint32_t capsTrustedUntil_ = 0;  // GetTickCount time
    bool numLock_ = false;
    bool scrollLock_ = false;
};

}  // namespace reradav
