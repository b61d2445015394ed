#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "keys/KeyboardPlatform.h"

namespace reradav {

// Keyboard output through SendInput into whichever window has the focus. Characters are looked
// up on the keyboard layout of the window in front (a read typed into a French window uses the
// French layout); what that layout has no plain key for goes as a Unicode character.
class SendInputKeyboard : public KeyboardPlatform {
  public:
    // `serviceEvents` runs the program's events between two keys.
    explicit SendInputKeyboard(std::function<void()> serviceEvents);
    // Lets go of every key this keyboard pressed and did not release.
    ~SendInputKeyboard() override;
    SendInputKeyboard(const SendInputKeyboard&) = delete;
    SendInputKeyboard& operator=(const SendInputKeyboard&) = delete;

    std::int16_t VkKeyScanA(std::uint8_t character) override;
    std::uint32_t MapVirtualKeyA(std::uint32_t code, std::uint32_t mapType) override;
    void keybd_event(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) override;
    void GetKeyboardState(KeyboardState& state) override;
    void SetKeyboardState(const KeyboardState& state) override;
    std::uint32_t GetTickCount() override;
    void ServiceEvents() override;
    bool CanTypeCharacter(std::uint8_t /*character*/) override { return true; }
    std::string LayoutName() override;
    std::string Failure() override;

  private:
    // A key event as SendInput takes it, without windows.h in this header.
    struct KeyEvent {
        std::uint16_t vk;
        std::uint16_t scan;
        std::uint32_t flags;  // KEYEVENTF_*
    };
    bool Send(const std::vector<KeyEvent>& events);

    std::function<void()> serviceEvents_;
    std::vector<KeyEvent> held_;  // pressed and not yet released, in the order pressed
    std::string refused_;         // why Windows refused the last key event; empty once one passes
};

// The keyboard of this desktop; none, with the reason, when there is no interactive desktop to
// type on (a service, a locked workstation).
OpenedKeyboard OpenSendInputKeyboard(std::function<void()> serviceEvents);

}  // namespace reradav
