#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace reradav {

// 256 bytes, one per virtual-key code: bit 7 key down, bit 0 lock on.
using KeyboardState = std::array<std::uint8_t, 256>;

// The platform operations the keyboard event emitter relies on, under their Windows names; the
// flags are named apart from windows.h's KEYEVENTF_ macros, with the same values.
// Implementations: XTest and uinput on Linux, and a recording keyboard for tests.
class KeyboardPlatform {
  public:
    static constexpr std::uint32_t kKeyEventExtendedKey = 1;
    static constexpr std::uint32_t kKeyEventKeyUp = 2;
    // The scan byte is a character (Windows-1252) to type by whatever key it takes; vk is 0.
    static constexpr std::uint32_t kKeyEventUnicode = 4;

    virtual ~KeyboardPlatform() = default;

    // Key value of a character (code 0..255, Windows-1252) on the layout in force: low byte the
    // virtual-key code, bit 8 Shift (bit 9 Control, bit 10 Alt); -1 when no key produces it.
    virtual std::int16_t VkKeyScanA(std::uint8_t character) = 0;
    // Map type 0: virtual-key code to scan code.
    virtual std::uint32_t MapVirtualKeyA(std::uint32_t code, std::uint32_t mapType) = 0;
    // Places one key event in the system input stream, in call order.
    virtual void keybd_event(std::uint8_t vk, std::uint8_t scan, std::uint32_t flags) = 0;
    virtual void GetKeyboardState(KeyboardState& state) = 0;
    virtual void SetKeyboardState(const KeyboardState& state) = 0;
    // Milliseconds; wraps at 2^32.
    virtual std::uint32_t GetTickCount() = 0;
    // For a character VkKeyScanA finds no key for: key values (as VkKeyScanA gives them) that
    // type it one after another, such as a dead acute and then "e" for "\xE9"; empty when none.
    virtual std::vector<std::int16_t> DeadKeySequence(std::uint8_t /*character*/) { return {}; }
    // Whether a kKeyEventUnicode event types the character (X11 lends it a spare key).
    virtual bool CanTypeCharacter(std::uint8_t /*character*/) { return false; }
    // Why keys no longer arrive (the connection to the compositor broke); empty while they do.
    virtual std::string Failure() { return {}; }
    // The layout in force as the user names it, such as "de" or "us(dvorak)"; empty if unknown.
    virtual std::string LayoutName() { return {}; }
    // What the keyboard tells while it types: a sentence for the status line (typing waits), and
    // that it can type no more (the display went away), with why. Either may be empty.
    struct Listener {
        std::function<void(const std::string& status)> status;
        std::function<void(const std::string& why)> lost;
    };
    virtual void SetListener(Listener /*listener*/) {}
    // A quit: a wait inside a key event (for a key to lend) ends at this tick count.
    virtual void StopWaitingAt(std::uint32_t /*tick*/) {}
    // Runs the program's window events (timer ticks, serial input, quit signals) for a moment,
    // waiting for them up to the next millisecond tick; user input waits for the key string.
    virtual void ServiceEvents() = 0;
};

// The keyboard a session types with, as the platform's chooser found it.
struct OpenedKeyboard {
    std::unique_ptr<KeyboardPlatform> keyboard;  // nullptr when no backend could be opened
    std::string reason;       // why there is no keyboard, as one or two sentences for the window
    std::string description;  // the backend and layout in use, e.g. "XTest, layout de"
};

}  // namespace reradav
