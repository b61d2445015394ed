#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "keys/KeyboardPlatform.h"

namespace reradav {

enum ParseResult : std::int16_t {
    ParseOk = 0,
    MissingCloseBrace = 1,
    UnknownKeyName = 2,
    MissingCloseParen = 3,
    BadRepeatCount = 4,  // also a count that does not fit 16 bits
    QueueFull = 5,
    KeyStringTooLong = 6,  // more than kMaxKeyStringLength characters
};

inline constexpr std::size_t kMaxKeyStringLength = 32766;

// Queue codes with a meaning of their own: each toggles its modifier. Every other code is a
// virtual key to press and release.
inline constexpr std::int16_t kShiftToggle = 16;
inline constexpr std::int16_t kControlToggle = 17;
inline constexpr std::int16_t kAltToggle = 18;
inline constexpr std::int16_t kAltGrToggle = 0xA5;  // kVkRMenu: level 3 of non-US layouts
// A code from here on is a character no key types, left to the platform (kKeyEventUnicode).
inline constexpr std::int16_t kCharacterCode = 0x100;

// Key value bits: low byte the virtual key, then Shift, Control and Alt. Control with Alt is
// how a key that needs AltGr is reported.
inline constexpr std::int16_t kKeyShift = 0x100;
inline constexpr std::int16_t kKeyAltGr = 0x600;

struct KeyCodeQueue {
    static constexpr std::int16_t kCapacity = 4096;

    std::array<std::int16_t, kCapacity + 1> codes{};
    std::int16_t writeIndex = 0;
    std::int16_t readIndex = 0;

    // Refused once 4,096 codes are queued.
    bool Store(std::int16_t code) {
        if (writeIndex == kCapacity) {
            return false;
        }
        codes[static_cast<std::size_t>(writeIndex++)] = code;
        return true;
    }
};

// Turns a key string into queued key codes. Groups and modifiers nest without using the call
// stack, so no key string, however deeply nested, can overflow it.
class KeyStringParser {
  public:
    explicit KeyStringParser(KeyboardPlatform& platform) : platform_(platform) {}

    // Resets the queue, then parses the whole text; stops at the first error.
    ParseResult ParseKeyString(std::string_view text, KeyCodeQueue& queue);

    // The characters of the last key string that nothing on the layout types, each once; they
    // queue nothing, not even a Shift.
    const std::string& Untypable() const { return untypable_; }

  private:
    ParseResult ParseItem();
    ParseResult BracedKey();
    ParseResult QueueKey(std::int16_t keyValue, std::int16_t count);
    // A character whose key value is -1: its dead-key sequence, or the platform's own means.
    ParseResult QueueKeyless(std::uint8_t character, std::int16_t count);
    bool Store(std::int16_t code) { return queue_->Store(code); }
    int At(int position) const;  // 1-based; -1 beyond the text

    KeyboardPlatform& platform_;
    std::string_view text_;
    int length_ = 0;
    int position_ = 0;  // 1-based index of the last character consumed
    KeyCodeQueue* queue_ = nullptr;
    // Open groups (0) and modifiers (their toggle code) around the item being parsed.
    std::vector<std::int16_t> open_;
    std::string untypable_;
};

}  // namespace reradav
